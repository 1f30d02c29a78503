#!/usr/bin/env bash
# Collects what a release page offers into dist/: the Debian package (the
# Linux build in build/), the Windows ZIPs and MSIs for x64 and x86
# (scripts/build-windows.sh), and SHA256SUMS; checks every name and what
# each file is.
#   bash scripts/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1

version=$(sed -n 's/^project(Pinlark VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb_arch=$(dpkg --print-architecture)
# Name, folder it is made in, and what `file` must call it.
downloads=(
  "pinlark_${version}_${deb_arch}.deb|build|Debian binary package"
  "pinlark-${version}-win64.zip|build-windows|Zip archive"
  "pinlark-${version}-x64.msi|build-windows|MSI Installer"
  "pinlark-${version}-win32.zip|build-windows32|Zip archive"
  "pinlark-${version}-x86.msi|build-windows32|MSI Installer"
)

bash scripts/setup.sh --package
# The Linux build as it is configured (a new one without the tests).
[ -f build/CMakeCache.txt ] || cmake -S . -B build -DPINLARK_TESTS=OFF -DPINLARK_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"
(cd build && cpack -G DEB >/dev/null)
bash scripts/build-windows.sh

rm -rf dist && mkdir dist
for entry in "${downloads[@]}"; do
  IFS='|' read -r name folder kind <<<"$entry"
  [ -f "$folder/$name" ] || { echo "release: $folder/$name was not made" >&2; exit 1; }
  file -b "$folder/$name" | grep -q "$kind" ||
    { echo "release: $name is not a $kind: $(file -b "$folder/$name")" >&2; exit 1; }
  cp "$folder/$name" dist/
done
# Each MSI is for the processor its name says.
for pair in "x64|x64" "x86|Intel"; do
  IFS='|' read -r arch platform <<<"$pair"
  msiinfo suminfo "dist/pinlark-${version}-$arch.msi" | grep -q "^Template: $platform;" ||
    { echo "release: pinlark-${version}-$arch.msi is not for $platform" >&2; exit 1; }
done
(cd dist && sha256sum -- * >SHA256SUMS && sha256sum --quiet -c SHA256SUMS)
[ "$(ls dist | wc -l)" -eq $((${#downloads[@]} + 1)) ] || { echo "release: dist/ holds more than it should" >&2; exit 1; }
echo "release: dist/ holds"
(cd dist && ls -l)
