#!/usr/bin/env bash
# Makes the Windows download with cpack and unpacks it into a fresh folder,
# where the tests of the download look at it:
#   make_zip.sh BUILD_DIR ZIP_NAME WORK_DIR
set -uo pipefail
build=$1 name=$2 work=$3
zip=$build/$name.zip
rm -f "$zip"
(cd "$build" && cpack -G ZIP >/dev/null) || { echo "FAIL: cpack failed"; exit 1; }
[ -f "$zip" ] || { echo "FAIL: cpack made no $zip"; exit 1; }
rm -rf "$work" && mkdir -p "$work"
(cd "$work" && cmake -E tar xf "$zip") || { echo "FAIL: $zip does not unpack"; exit 1; }
[ -d "$work/$name" ] || { echo "FAIL: $zip holds no folder $name"; exit 1; }
echo "$zip unpacked into $work/$name"
