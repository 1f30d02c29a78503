#!/usr/bin/env bash
# lptprobe.exe beside the real LPTWDMIO.SYS under Wine's service manager:
#   lptprobe_service.sh PREFIX BIN_DIR
# The device is missing, so the connection installs and starts the service,
# probes, and deletes the service at exit without a stop request. Like
# Windows, Wine deletes a loaded driver's service only once the driver is no
# longer loaded: here, when the prefix's wineserver has ended.
source "$(dirname "$0")/wine_test_lib.sh"
wine_prefix "$1"
bin=$2
work=$scratch/alone
probe=$bin/service_probe.exe

# Runs a program, checking its exit status and the first line it prints
# (what follows may explain an error to the user).
expect_run() {
  local name=$1 status=$2 expected=$3; shift 3
  local output actual=0
  output=$(run_out "$@") || actual=$?
  [ "$actual" = "$status" ] || fail "$name: exit status $actual, expected $status"
  expect "$name:" "$(head -n 1 <<<"$output")" "$expected"
}

no_service "$probe" "before the first run"

# 1. No service: installed, started, probed, deleted at exit.
expect "fresh install:" "$(run_out "$bin/lptprobe.exe")" "$simulated_probe"
no_service "$probe" "after a run that installed the service"

# 2. The service exists already (not started): opened, started, deleted at exit.
expect_run "install beforehand" 0 0 "$probe" install
expect "existing service:" "$(run_out "$bin/lptprobe.exe")" "$simulated_probe"
no_service "$probe" "after a run on an existing service"

# 3. No driver file beside the program: the start fails, the second open gives
#    ERROR_FILE_NOT_FOUND, and the entry this run created is deleted again.
rm -rf "$work" && mkdir -p "$work"
cp "$bin/lptprobe.exe" "$work/"
expect_run "missing module" 1 "error 2" "$work/lptprobe.exe"
no_service "$probe" "after a run without the module"

# 4. A folder named outside the ANSI code page (Wine's is 1252 under this
#    locale): the service manager gets the folder's short name, and the
#    driver starts from there.
rm -rf "$work" && mkdir -p "$work/Пинларк"
cp "$bin/lptprobe.exe" "$bin/LPTWDMIO.SYS" "$work/Пинларк/"
expect "from a Cyrillic folder:" "$(LC_ALL=C.UTF-8 run_out "$work/Пинларк/lptprobe.exe")" "$simulated_probe"
no_service "$probe" "after a run from a Cyrillic folder"

passed "lptprobe under Wine: all cases passed"
