#!/usr/bin/env bash
# What Windows shows about the programs: version 1.0.0 and a manifest in
# each, administrator rights asked for by pinlark.exe alone (it installs the
# driver), and pinlark.exe's icon the window's own, as pinlark_icon.exe draws
# it from the window, and each manifest naming the build's processor (amd64
# or x86):
#   resources.sh PREFIX BIN_DIR SOURCE_ICON VERSION WINDRES PROCESSOR
source "$(dirname "$0")/wine_test_lib.sh"
wine_prefix "$1"
bin=$2 icon=$3 version=$4 windres=$5 processor=$6

IFS=. read -r major minor patch <<<"$version"
for program in pinlark lptprobe; do
  rc=$("$windres" -i "$bin/$program.exe" -O rc 2>/dev/null) || { fail "$program.exe: no resources"; continue; }
  grep -q "FILEVERSION $major, $minor, $patch, 0" <<<"$rc" || fail "$program.exe: no file version $version"
  grep -q "VALUE \"ProductVersion\", \"$version\"" <<<"$rc" || fail "$program.exe: no product version $version"
  grep -q "VALUE \"OriginalFilename\", \"$program.exe\"" <<<"$rc" || fail "$program.exe: wrong file name"
  level=asInvoker
  [ "$program" = pinlark ] && level=requireAdministrator
  grep -q "requestedExecutionLevel level=\"\"$level\"\"" <<<"$rc" || fail "$program.exe: manifest does not ask for $level"
  grep -q "processorArchitecture=\"\"$processor\"\"" <<<"$rc" || fail "$program.exe: manifest does not name $processor"
done
grep -q "Type: group icon" <<<"$("$windres" -i "$bin/pinlark.exe" -O rc 2>/dev/null)" || fail "pinlark.exe has no icon"

if run "$bin/pinlark_icon.exe" "$scratch/pinlark.ico" >/dev/null 2>&1; then
  cmp -s "$scratch/pinlark.ico" "$icon" ||
    fail "packaging/windows/pinlark.ico is not the window's icon: run packaging/windows/render-icon.sh"
else
  fail "pinlark_icon.exe failed"
fi

passed "resources: all checks passed"
