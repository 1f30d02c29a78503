#!/usr/bin/env bash
# The MSI under Wine's msiexec: a quiet install puts exactly the ZIP's files
# into Program Files\Pinlark, a Start-menu shortcut and the folder on the
# system PATH; the programs run from there (lptctl by name, as at a command
# prompt); a newer version replaces it; a quiet uninstall leaves nothing
# behind: no file, no registry entry, and no driver service, even one a run
# left behind.
#   msi_wine.sh PREFIX BUILD_DIR MSI_NAME ZIP_FOLDER
# No menu entries on the Linux desktop for the shortcut.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
source "$(dirname "$0")/wine_test_lib.sh"
wine_prefix "$1"
build=$2 name=$3 zip=$4

msi=$build/$name.msi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
rm -f "$msi"
(cd "$build" && cpack -G External >/dev/null) || { fail "cpack made no MSI"; exit 1; }
[ -f "$msi" ] || { fail "cpack made no $msi"; exit 1; }

folder="$prefix/drive_c/Program Files/Pinlark"
# Wine puts even an all-users shortcut into the user's Start menu.
shortcuts() { find "$prefix/drive_c" -path '*/Start Menu/Programs/Pinlark.lnk'; }
# What the registry says of Pinlark, and the installer's own cache: after
# the uninstall both must be as they were before the install.
traces() {
  cat "$prefix/system.reg" "$prefix/user.reg" | grep -i -e pinlark -e lptwdmio | grep -v '^#time' | sort
  ls "$prefix/drive_c/windows/Installer" 2>/dev/null
}
# Wine's uninstall leaves the separator of a PATH entry behind (Windows takes
# it too), and Wine's cmd stops at an empty PATH entry: the test keeps the
# prefix's PATH free of empty entries.
environment='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
path_value() { run_out reg query "$environment" /v PATH | sed -n 's/^ *PATH *REG_EXPAND_SZ *//p'; }
without_empty() { sed 's/;;*/;/g; s/;$//'; }
set_path() { run reg add "$environment" /v PATH /t REG_EXPAND_SZ /d "$1" /f >/dev/null 2>&1; }
quiet
original_path=$(path_value | without_empty)
[ "$(path_value)" = "$original_path" ] || set_path "$original_path"
quiet
before=$(traces)

run msiexec /i "$msi" /qn >/dev/null 2>&1 || fail "msiexec /i failed ($?)"
quiet
installed=$(cd "$folder" 2>/dev/null && find . -type f | sort)
shipped=$(cd "$zip" && find . -type f | sort)
[ -n "$installed" ] || fail "nothing in Program Files\\Pinlark"
[ "$installed" = "$shipped" ] || fail "the installed files are not the ZIP's:
$(diff <(echo "$shipped") <(echo "$installed"))"
cmp -s "$folder/LPTWDMIO.SYS" "$zip/LPTWDMIO.SYS" || fail "the installed driver differs from the signed one"
[ -n "$(shortcuts)" ] || fail "no Start-menu shortcut"
entry='C:\Program Files\Pinlark\'
[ "$(path_value)" = "$original_path;$entry" ] || fail "$entry is not at the end of PATH: $(path_value)"

# The installed programs, with the driver beside them; lptctl found on PATH.
expect "the installed lptprobe.exe" "$(run_out "C:\\Program Files\\Pinlark\\lptprobe.exe")" "$simulated_probe"
quiet
says "lptctl by name read" "$(run_out cmd /c lptctl read LPT1)" -x "LPT1 data=00 status=87 control=CC simulated"
quiet

# A newer version, made from the same rules, replaces this one: one
# Pinlark is registered afterwards, the newer, and its files are in place.
# The version of each product named Pinlark in "Apps", one a line.
products() {
  awk '/^\[/ { if (pinlark) print version; uninstall = /\\Uninstall\\/; pinlark = 0; version = "" }
    uninstall && /^"DisplayName"="Pinlark"/ { pinlark = 1 }
    uninstall && /^"DisplayVersion"=/ { version = $0; sub(/^[^=]*="/, "", version); sub(/"$/, "", version) }
    END { if (pinlark) print version }' "$prefix/system.reg"
}
newer=$scratch/newer
mkdir -p "$newer"
newer_version=$(awk -F. '{ print $1 "." $2 "." $3 + 1 }' <<<"$version")
(cd "$build" && cpack -G External -D CPACK_PACKAGE_VERSION="$newer_version" \
  -D CPACK_PINLARK_MSI_NAME=newer -B "$newer" >/dev/null) || fail "cpack made no newer MSI"
[ "$(products)" = "$version" ] || fail "Apps lists, after the install: $(products)"
run msiexec /i "$newer/newer.msi" /qn >/dev/null 2>&1 || fail "msiexec /i of $newer_version failed ($?)"
quiet
[ "$(products)" = "$newer_version" ] || fail "Apps lists, after the upgrade: $(products)"
[ "$(cd "$folder" 2>/dev/null && find . -type f | sort)" = "$shipped" ] || fail "the upgrade left other files"
msi=$newer/newer.msi

# A service a run left behind (as one ended by force would).
[ "$(run_out "$build/bin/service_probe.exe" install)" = 0 ] || fail "could not leave a service behind"
quiet
run msiexec /x "$msi" /qn >/dev/null 2>&1 || fail "msiexec /x failed ($?)"
quiet
[ ! -e "$folder" ] || fail "uninstall left $(cd "$folder" && find . | head -5)"
[ -z "$(shortcuts)" ] || fail "uninstall left the shortcut $(shortcuts)"
no_service "$build/bin/service_probe.exe" "after the uninstall"
[ "$(path_value | without_empty)" = "$original_path" ] || fail "uninstall left PATH as $(path_value)"
[ "$(path_value)" = "$original_path" ] || set_path "$original_path"
quiet
after=$(traces)
[ "$after" = "$before" ] || fail "uninstall left registry entries or installer files:
$(diff <(echo "$before") <(echo "$after"))"

passed "$name.msi: installs, runs and uninstalls cleanly"
