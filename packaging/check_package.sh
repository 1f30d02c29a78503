#!/usr/bin/env bash
# Checks of the Debian package, one per CTest test (label package):
#   check_package.sh CHECK BUILD_DIR VERSION
# "build" makes the package with cpack; every other check reads the .deb it
# left in BUILD_DIR, unpacking it into a private temporary root when needed.
set -euo pipefail
check=$1 build_dir=$2 version=$3
cpack_command=${CPACK_COMMAND:-cpack}

fail() { echo "check_package: $*" >&2; exit 1; }
need() { command -v "$1" >/dev/null || fail "$1 is missing: bash scripts/setup.sh --test"; }

deb_file() {
  local debs=("$build_dir"/pinlark_"$version"_*.deb)
  [ -f "${debs[0]}" ] || fail "no pinlark_${version}_*.deb in $build_dir; run the package.build test first"
  echo "${debs[0]}"
}

# Unpacks the package into $root, removed when the check ends.
unpack() {
  need dpkg-deb
  root=$(mktemp -d "${TMPDIR:-/tmp}/pinlark-deb.XXXXXX")
  trap 'rm -rf "$root"' EXIT
  dpkg-deb -x "$(deb_file)" "$root"
}

case $check in
  build)
    rm -f "$build_dir"/pinlark_"$version"_*.deb
    (cd "$build_dir" && "$cpack_command" -G DEB)
    deb=$(deb_file)
    dpkg-deb --info "$deb"
    dpkg-deb --contents "$deb"
    ;;

  lintian)
    need lintian
    # Errors fail the check; warnings and notes are printed for the reader.
    lintian --fail-on error --display-info --tag-display-limit 0 "$(deb_file)"
    echo "lintian: no errors"
    ;;

  desktop_entry)
    need desktop-file-validate
    unpack
    entry="$root/usr/share/applications/org.example.pinlark.desktop"
    desktop-file-validate "$entry"
    grep -qx 'StartupWMClass=Pinlark' "$entry" || fail "StartupWMClass must match the window's class Pinlark"
    icon=$(sed -n 's/^Icon=//p' "$entry")
    program=$(sed -n 's/^Exec=//p' "$entry")
    [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon named $icon"
    for size in 16 22 24 32 48 64 128 256; do
      png="$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png"
      [ -f "$png" ] || fail "no ${size}x${size} icon named $icon"
      # Width and height are the big-endian words at offsets 16 and 20 of a PNG.
      read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
        awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
      [ "$width" = "$size" ] && [ "$height" = "$size" ] || fail "$png is ${width}x${height}"
    done
    [ -x "$root/usr/bin/$program" ] || fail "Exec names $program, which the package does not install"
    echo "desktop entry: valid, icon $icon in every size, program $program"
    ;;

  metainfo)
    need appstreamcli
    unpack
    appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/org.example.pinlark.metainfo.xml"
    ;;

  man_pages)
    need man
    unpack
    for page in pinlark lptprobe lptctl; do
      file="$root/usr/share/man/man1/$page.1.gz"
      [ -f "$file" ] || fail "no manual page $page(1)"
      warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$file" 2>&1 >/dev/null)
      [ -z "$warnings" ] || fail "$page(1) renders with warnings:"$'\n'"$warnings"
      MANWIDTH=80 man -E UTF-8 -l "$file" 2>/dev/null | grep -q "^NAME" || fail "$page(1) renders empty"
      MANWIDTH=80 man -E UTF-8 -l "$file" 2>/dev/null | grep -q "Pinlark $version" ||
        fail "$page(1) does not carry version $version"
    done
    echo "manual pages: render without warnings"
    ;;

  unpacked_lptprobe)
    unpack
    # Through the link in bin/, as a user runs it: the module is found beside
    # the real executable in lib/pinlark.
    output=$(LPTWDMIO_BACKEND=simulated LPTWDMIO_SIM_DIR="$root/sim" "$root/usr/bin/lptprobe" 2>/dev/null) ||
      fail "lptprobe exited with $?"
    echo "$output"
    [ "$(sed -n 1p <<<"$output" | cut -d' ' -f1-2)" = "LPT1 present" ] || fail "LPT1 is not present"
    [ "$(sed -n 2p <<<"$output" | cut -d' ' -f1-2)" = "LPT2 present" ] || fail "LPT2 is not present"
    [ "$(sed -n 3p <<<"$output")" = "LPT3 absent" ] || fail "LPT3 is not absent"
    [ "$(wc -l <<<"$output")" -eq 3 ] || fail "expected three lines"
    ;;

  unpacked_lptctl)
    unpack
    # As a user runs it, through the link in bin/, on a bank of its own.
    export LPTWDMIO_BACKEND=simulated LPTWDMIO_SIM_DIR="$root/sim"
    "$root/usr/bin/lptctl" set LPT1 D1 2>/dev/null >/dev/null || fail "lptctl set exited with $?"
    output=$("$root/usr/bin/lptctl" probe 2>/dev/null) || fail "lptctl probe exited with $?"
    echo "$output"
    [ "$(sed -n 1p <<<"$output")" = "LPT1 present data=02 status=97 control=CC simulated" ] ||
      fail "a second lptctl did not see the first one's write"
    completion="$root/usr/share/bash-completion/completions/lptctl"
    [ -f "$completion" ] || fail "no bash completion for lptctl"
    bash -n "$completion" || fail "the bash completion does not parse"
    words=$(bash -c "source '$completion'; COMP_WORDS=(lptctl se); COMP_CWORD=1; _lptctl; echo \${COMPREPLY[*]}")
    [ "$words" = "set selftest" ] || fail "completion of 'lptctl se' gave '$words'"
    # Line names in the case typed, and wait's conditions.
    for case in "get LPT1 a|ack" "get LPT1 A|ACK" "wait lpt1 b|busy=" "pulse LPT1 st|str" "wait LPT1 ACK = f|falling"; do
      typed=${case%|*} expected=${case#*|}
      words=$(bash -c "source '$completion'; COMP_WORDS=(lptctl $typed); COMP_CWORD=\$((\${#COMP_WORDS[@]} - 1)); _lptctl; echo \${COMPREPLY[*]}")
      [ "$words" = "$expected" ] || fail "completion of 'lptctl $typed' gave '$words', expected '$expected'"
    done
    # The scripting commands, as a script uses them.
    [ "$("$root/usr/bin/lptctl" get lpt1 d1 sel 2>/dev/null)" = "1 1" ] || fail "lptctl get did not read D1 and SEL"
    ;;

  unpacked_python)
    unpack
    need python3
    export LPTWDMIO_BACKEND=simulated LPTWDMIO_SIM_DIR="$root/sim"
    module=$root/usr/lib/python3/dist-packages/pinlark
    [ -f "$root/usr/include/pinlark.h" ] || fail "no C header"
    [ -f "$module/py.typed" ] || fail "the Python module has no py.typed"
    [ ! -e "$module/__pycache__" ] || fail "the package ships a __pycache__"
    link=$(readlink "$module/libpinlark.so") || fail "no library link in the Python module's folder"
    [[ $link != /* ]] || fail "the library link is absolute: $link"
    # Through the link, as an installed module loads it; the library finds the
    # driver module beside the file the link leads to.
    output=$(cd / && PINLARK_LIBRARY="" PYTHONPATH="$root/usr/lib/python3/dist-packages" python3 -c '
import pinlark
with pinlark.Port("LPT1") as port:
    port.set("D2", 1)
    print(pinlark.__version__, port.get("PE"), port.data)' 2>/dev/null) || fail "the Python module failed"
    echo "$output"
    [ "$output" = "$version 1 4" ] || fail "the Python module printed '$output'"
    ;;

  depends)
    depends=$(dpkg-deb -f "$(deb_file)" Depends)
    echo "Depends: $depends"
    # The linked libraries (found by dpkg-shlibdeps) and the font read at run time.
    names=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//')
    for package in libc6 libstdc++6 libx11-6 libfreetype6 libfontconfig1 fonts-dejavu-core; do
      grep -qxF -e "$package" -e "${package}t64" <<<"$names" || fail "Depends lacks $package"
    done
    ;;

  versions)
    unpack
    changelog=$(gzip -dc "$root/usr/share/doc/pinlark/changelog.gz" | head -n1)
    [[ $changelog == "pinlark ($version) "* ]] || fail "the changelog's newest entry is not $version: $changelog"
    release=$(grep -m1 -o '<release version="[^"]*"' "$root/usr/share/metainfo/org.example.pinlark.metainfo.xml")
    [ "$release" = "<release version=\"$version\"" ] || fail "the metainfo's newest release is not $version: $release"
    echo "changelog and metainfo name $version"
    ;;

  *)
    fail "unknown check $check"
    ;;
esac
