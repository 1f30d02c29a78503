#!/usr/bin/env bash
# Creates the build's private Wine prefix once: wine-prefix.sh PREFIX [win64|win32]
# A win32 prefix runs the 32-bit build: its winedevice.exe loads 32-bit
# drivers. Also records the per-program Windows version the 9x test runs under.
set -euo pipefail
prefix=$1 arch=${2:-win64}
case $arch in win64 | win32) ;; *) echo "wine-prefix: win64 or win32, not $arch" >&2; exit 2 ;; esac
# shellcheck source=wine-env.sh
source "$(dirname "$0")/wine-env.sh"
if [ "$arch" = win32 ] && ! wine_runs_32bit; then
  echo "wine-prefix: this machine's kernel cannot run 32-bit programs, so 32-bit Wine cannot start" >&2
  exit 1
fi
# The prefix is made without a display, whatever the caller's.
PINLARK_WINE_DISPLAY="" wine_env "$prefix"
export WINEARCH=$arch
if [ ! -f "$prefix/.pinlark-ready-4-$arch" ]; then
  rm -rf "$prefix"
  mkdir -p "$prefix"
  wineboot -i >/dev/null 2>&1
  # Windows on the X display a test names in DISPLAY; without one, Wine's
  # null display driver.
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d x11,null /f >/dev/null 2>&1
  # A program Wine runs as Windows 98 (platform id 1).
  wine reg add 'HKCU\Software\Wine\AppDefaults\lpt9x_test.exe' /v Version /t REG_SZ /d win98 /f >/dev/null 2>&1
  timeout 60 wineserver -w
  grep -qx "#arch=$arch" "$prefix/system.reg" || { echo "wine-prefix: $prefix is not a $arch prefix" >&2; exit 1; }
  touch "$prefix/.pinlark-ready-4-$arch"
fi
