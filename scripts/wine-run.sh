#!/usr/bin/env bash
# Runs a Windows program under Wine in the given private prefix:
#   wine-run.sh PREFIX PROGRAM.exe [ARGS...]
# The prefix is the build's own; the user's ~/.wine is never touched. Wine's
# own diagnostics stay off. Windows go to the X display in PINLARK_WINE_DISPLAY
# (a test's own Xvfb), never to the user's; without it Wine's null display
# driver takes them.
set -euo pipefail
# shellcheck source=wine-arch.sh
source "$(dirname "$0")/wine-arch.sh"
prefix=$1; shift
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts in a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ -n "${PINLARK_WINE_DISPLAY:-}" ]; then
  export DISPLAY=$PINLARK_WINE_DISPLAY
else
  unset DISPLAY
fi
if [ ! -f "$prefix/system.reg" ]; then
  echo "wine-run: no Wine prefix at $prefix (ctest creates it in windows.prefix)" >&2
  exit 2
fi
exec wine "$@"
