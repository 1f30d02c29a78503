#!/usr/bin/env bash
# Runs a Windows program under Wine in the given private prefix, made by
# wine-prefix.sh (see wine-env.sh for the environment it runs in):
#   wine-run.sh PREFIX PROGRAM.exe [ARGS...]
set -euo pipefail
# shellcheck source=wine-env.sh
source "$(dirname "$0")/wine-env.sh"
prefix=$1; shift
wine_env "$prefix"
if [ ! -f "$prefix/system.reg" ]; then
  echo "wine-run: no Wine prefix at $prefix (ctest creates it in windows.prefix)" >&2
  exit 2
fi
exec wine "$@"
