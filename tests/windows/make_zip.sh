#!/usr/bin/env bash
# Makes the Windows download with cpack and unpacks it into a fresh folder,
# where the tests of the download look at it:
#   make_zip.sh BUILD_DIR ZIP_NAME WORK_DIR
source "$(dirname "$0")/wine_test_lib.sh"
build=$1 name=$2 work=$3
zip=$build/$name.zip
rm -f "$zip"
(cd "$build" && cpack -G ZIP >/dev/null) || { fail "cpack failed"; exit 1; }
[ -f "$zip" ] || { fail "cpack made no $zip"; exit 1; }
rm -rf "$work" && mkdir -p "$work"
(cd "$work" && cmake -E tar xf "$zip") || { fail "$zip does not unpack"; exit 1; }
[ -d "$work/$name" ] || { fail "$zip holds no folder $name"; exit 1; }
passed "$zip unpacked into $work/$name"
