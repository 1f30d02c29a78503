#!/usr/bin/env bash
# Runs a test program that installs the driver service, each time in a
# prefix whose wineserver has ended (so no driver is still loaded from an
# earlier test), and checks afterwards that the program left no service:
#   run_service_test.sh PREFIX PROGRAM.exe [ARGS...]
source "$(dirname "$0")/wine_test_lib.sh"
wine_prefix "$1"
shift
quiet
run "$@"
status=$?
no_service "$(dirname "$1")/service_probe.exe" "after $(basename "$1")"
exit "$status"
