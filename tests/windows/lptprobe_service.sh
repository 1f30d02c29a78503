#!/usr/bin/env bash
# lptprobe.exe beside the real LPTWDMIO.SYS under Wine's service manager:
#   lptprobe_service.sh PREFIX BIN_DIR WORK_DIR
# The device is missing, so the connection installs and starts the service,
# probes, and deletes the service at exit without a stop request. Like
# Windows, Wine deletes a loaded driver's service only once the driver is no
# longer loaded: here, when the prefix's wineserver has ended.
set -uo pipefail
prefix=$1 bin=$2 work=$3
run="$(dirname "$0")/../../scripts/wine-run.sh"
export WINEPREFIX=$prefix WINEDEBUG=-all
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

wait_for_wineserver() {
  timeout 60 wineserver -w || fail "the prefix's wineserver did not end within 60 s"
}

service_state() { "$run" "$prefix" "$bin/service_probe.exe" query | tr -d '\r'; }

expect_no_service() {
  wait_for_wineserver
  local state
  state=$(service_state)
  [ "$state" = 1060 ] || fail "$1: OpenServiceA gives '$state', expected 1060 (no such service)"
}

# Runs a program, checking its exit status and the first line it prints
# (what follows may explain an error to the user).
expect_run() {
  local name=$1 status=$2 expected=$3; shift 3
  local output actual=0
  output=$("$run" "$prefix" "$@" 2>/dev/null | tr -d '\r'; exit "${PIPESTATUS[0]}") || actual=$?
  output=$(head -n 1 <<<"$output")
  [ "$actual" = "$status" ] || fail "$name: exit status $actual, expected $status"
  [ "$output" = "$expected" ] || fail "$name: printed
$output
expected
$expected"
}

# The simulated bank, which the driver's port query marks as such.
probe_lines() {
  "$run" "$prefix" "$@" 2>/dev/null | tr -d '\r'
}

expected_probe="LPT1 present data=00 status=87 control=CC simulated
LPT2 present data=00 status=7F control=CC simulated
LPT3 absent"

expect_probe() {
  local name=$1 output
  output=$(probe_lines "$bin/lptprobe.exe")
  [ "$output" = "$expected_probe" ] || fail "$name: printed
$output
expected
$expected_probe"
}

expect_no_service "before the first run"

# 1. No service: installed, started, probed, deleted at exit.
expect_probe "fresh install"
expect_no_service "after a run that installed the service"

# 2. The service exists already (not started): opened, started, deleted at exit.
expect_run "install beforehand" 0 0 "$bin/service_probe.exe" install
expect_probe "existing service"
expect_no_service "after a run on an existing service"

# 3. No driver file beside the program: the start fails, the second open gives
#    ERROR_FILE_NOT_FOUND, and the entry this run created is deleted again.
rm -rf "$work" && mkdir -p "$work"
cp "$bin/lptprobe.exe" "$work/"
expect_run "missing module" 1 "error 2" "$work/lptprobe.exe"
expect_no_service "after a run without the module"

# 4. A folder named outside the ANSI code page (Wine's is 1252 under this
#    locale): the service manager gets the folder's short name, and the
#    driver starts from there.
rm -rf "$work" && mkdir -p "$work/Пинларк"
cp "$bin/lptprobe.exe" "$bin/LPTWDMIO.SYS" "$work/Пинларк/"
output=$(LC_ALL=C.UTF-8 "$run" "$prefix" "$work/Пинларк/lptprobe.exe" 2>/dev/null | tr -d '\r')
[ "$output" = "$expected_probe" ] || fail "from a Cyrillic folder: printed
$output
expected
$expected_probe"
expect_no_service "after a run from a Cyrillic folder"

[ "$failures" -eq 0 ] && echo "lptprobe under Wine: all cases passed"
[ "$failures" -eq 0 ]
