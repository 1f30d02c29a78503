#!/usr/bin/env bash
# Sourced by the scripts that run Wine: wine_env PREFIX makes every wine and
# wineserver after it use that private prefix (never the user's ~/.wine),
# through the loader wine-bin/ picks. Wine's own diagnostics stay off and a
# fresh prefix prompts for no Mono or Gecko installer, unless the caller says
# otherwise. Windows go to the X display in PINLARK_WINE_DISPLAY (a test's
# own Xvfb), never to the user's; without it Wine's null display driver
# takes them.
# shellcheck source=wine-arch.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-arch.sh"
wine_env() {
  export WINEPREFIX=$1
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  if [ -n "${PINLARK_WINE_DISPLAY:-}" ]; then
    export DISPLAY=$PINLARK_WINE_DISPLAY
  else
    unset DISPLAY
  fi
}
