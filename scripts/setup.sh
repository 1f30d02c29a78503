#!/usr/bin/env bash
# Installs whatever Debian packages the build, the program and the tests need
# and are missing. Safe to run again; does nothing when all are there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git ccache
  libx11-dev libfreetype-dev libfontconfig-dev libpng-dev
  fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool xauth
  g++-mingw-w64-x86-64
)
if [ "${1:-}" = "--hil" ]; then
  packages+=(qemu-system-x86 busybox-static cpio)
fi
# Windows cross-build (scripts/build-windows.sh): posix-thread MinGW, zlib for
# the cross-built FreeType, dpkg-dev to unpack Debian's source packages,
# GoogleTest's sources, Wine to run the results, and the driver's signing tools.
if [ "${1:-}" = "--windows" ]; then
  packages+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev dpkg-dev googletest
    wine wine64 osslsigncode openssl)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
