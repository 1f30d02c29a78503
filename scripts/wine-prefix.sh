#!/usr/bin/env bash
# Creates the build's private Wine prefix once: wine-prefix.sh PREFIX
# Also records the per-program Windows version the 9x test runs under.
set -euo pipefail
prefix=$1
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
unset DISPLAY
if [ ! -f "$prefix/.pinlark-ready-3" ]; then
  rm -rf "$prefix"
  mkdir -p "$prefix"
  wineboot -i >/dev/null 2>&1
  # Windows on the X display a test names in DISPLAY; without one, Wine's
  # null display driver.
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d x11,null /f >/dev/null 2>&1
  # A program Wine runs as Windows 98 (platform id 1).
  wine reg add 'HKCU\Software\Wine\AppDefaults\lpt9x_test.exe' /v Version /t REG_SZ /d win98 /f >/dev/null 2>&1
  timeout 60 wineserver -w
  touch "$prefix/.pinlark-ready-3"
fi
