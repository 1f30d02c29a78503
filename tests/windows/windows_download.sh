#!/usr/bin/env bash
# The Windows download, unpacked by make_zip.sh, holds everything it should,
# and its lptprobe.exe runs from there under Wine with the driver beside it
# (installed, probed, deleted at exit):
#   windows_download.sh PREFIX BUILD_DIR FOLDER
source "$(dirname "$0")/wine_test_lib.sh"
wine_prefix "$1"
build=$2 folder=$3

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

quiet
expect "the unpacked lptprobe.exe" "$(run_out "$folder/lptprobe.exe")" "$simulated_probe"
quiet
# The unpacked lptctl.exe reaches the same driver.
says "the unpacked lptctl.exe read LPT1 as" "$(run_out "$folder/lptctl.exe" read LPT1)" \
  -x "LPT1 data=00 status=87 control=CC simulated"
no_service "$build/bin/service_probe.exe" "after the unpacked programs"

passed "Windows download: all checks passed"
