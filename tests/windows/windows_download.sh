#!/usr/bin/env bash
# The Windows download, unpacked by make_zip.sh, holds everything it should,
# and its lptprobe.exe runs from there under Wine with the driver beside it
# (installed, probed, deleted at exit):
#   windows_download.sh PREFIX BUILD_DIR FOLDER
set -uo pipefail
prefix=$1 build=$2 folder=$3
run="$(dirname "$0")/../../scripts/wine-run.sh"
export WINEPREFIX=$prefix WINEDEBUG=-all
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
for file in pinlark.exe lptprobe.exe lptctl.exe pinlark.dll pinlark.h pinlark/__init__.py pinlark/py.typed LPTWDMIO.SYS \
  pinlark-test-signing.cer README.txt DejaVu-LICENSE.txt \
  DejaVuSans.ttf DejaVuSans-Bold.ttf; do
  [ -f "$folder/$file" ] || fail "the ZIP has no $file"
done
# The driver goes in as it was signed.
cmp -s "$folder/LPTWDMIO.SYS" "$build/bin/LPTWDMIO.SYS" || fail "LPTWDMIO.SYS differs from the signed one"
grep -q $'\r$' "$folder/README.txt" || fail "README.txt has no Windows line ends"
grep -q "Pinlark $version" "$folder/README.txt" || fail "README.txt does not name version $version"
# The sections lptctl doctor sends its reader to.
for section in "Test signing" "When the driver does not start"; do
  grep -qx "$section"$'\r' "$folder/README.txt" || fail "README.txt has no section \"$section\""
done

timeout 60 wineserver -w || fail "the prefix's wineserver did not end"
output=$("$run" "$prefix" "$folder/lptprobe.exe" 2>/dev/null | tr -d '\r')
expected="LPT1 present data=00 status=87 control=CC simulated
LPT2 present data=00 status=7F control=CC simulated
LPT3 absent"
[ "$output" = "$expected" ] || fail "the unpacked lptprobe.exe printed
$output
expected
$expected"
timeout 60 wineserver -w || fail "the prefix's wineserver did not end"
# The unpacked lptctl.exe reaches the same driver.
output=$("$run" "$prefix" "$folder/lptctl.exe" read LPT1 2>/dev/null | tr -d '\r')
grep -q "^LPT1 data=00 status=87 control=CC simulated$" <<<"$output" || fail "the unpacked lptctl.exe read LPT1 as
$output"
timeout 60 wineserver -w || fail "the prefix's wineserver did not end"
state=$("$run" "$prefix" "$build/bin/service_probe.exe" query | tr -d '\r')
[ "$state" = 1060 ] || fail "the driver service is left behind (OpenServiceA: $state)"

[ "$failures" -eq 0 ] && echo "Windows download: all checks passed"
[ "$failures" -eq 0 ]
