#!/usr/bin/env bash
# Redraws pinlark.ico, pinlark.exe's resource icon, from the main window's
# icon: builds the Windows programs and runs pinlark_icon.exe under Wine. Run
# after changing the icon in src/Unit1Layout.cpp.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/build-windows.sh
prefix=$PWD/build-windows/wine
bash scripts/wine-prefix.sh "$prefix"
bash scripts/wine-run.sh "$prefix" build-windows/bin/pinlark_icon.exe packaging/windows/pinlark.ico
echo "render-icon: wrote packaging/windows/pinlark.ico"
