#!/usr/bin/env bash
# Runs a test program that installs the driver service, each time in a
# prefix whose wineserver has ended (so no driver is still loaded from an
# earlier test), and checks afterwards that the program left no service:
#   run_service_test.sh PREFIX PROGRAM.exe [ARGS...]
set -uo pipefail
prefix=$1; shift
run="$(dirname "$0")/../../scripts/wine-run.sh"
export WINEPREFIX=$prefix WINEDEBUG=-all
timeout 60 wineserver -w || { echo "wineserver did not end" >&2; exit 1; }
"$run" "$prefix" "$@"
status=$?
timeout 60 wineserver -w || { echo "wineserver did not end" >&2; exit 1; }
state=$("$run" "$prefix" "$(dirname "$1")/service_probe.exe" query | tr -d '\r')
if [ "$state" != 1060 ]; then
  echo "the driver service is left behind (OpenServiceA: $state)" >&2
  exit 1
fi
exit $status
