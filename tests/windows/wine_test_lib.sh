#!/usr/bin/env bash
# Sourced by the shell tests of the Windows build. A failed check is noted
# and the test goes on, so that one run names every broken check; at exit
# the test prints what failed and fails. Checks may run in a subshell (a
# command substitution): what they note is kept in the scratch folder.
set -uo pipefail
scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd)
# shellcheck source=../../scripts/wine-env.sh
source "$scripts/wine-env.sh"
# The test's own folder, gone at exit.
scratch=$(mktemp -d)

fail() { printf 'FAIL: %s\n' "$*" >>"$scratch/failures"; }
failed() { [ -s "$scratch/failures" ]; }
# passed MESSAGE: says it unless a check failed.
passed() { failed || echo "$*"; }
verdict() {
  local status=$?
  if failed; then
    cat "$scratch/failures"
    status=1
  fi
  rm -rf "$scratch"
  exit "$status"
}
trap verdict EXIT

# expect WHAT ACTUAL EXPECTED: ACTUAL is exactly EXPECTED.
expect() {
  [ "$2" = "$3" ] || fail "$1 printed
$2
expected
$3"
}
# says WHAT TEXT GREP-ARGUMENTS...: grep finds a line of TEXT.
says() {
  grep -q "${@:3}" <<<"$2" || fail "$1:
$2"
}

# What the driver's simulated bank shows with nothing attached.
# shellcheck disable=SC2034 # the tests compare with it
simulated_probe="LPT1 present data=00 status=87 control=CC simulated
LPT2 present data=00 status=7F control=CC simulated
LPT3 absent"

# wine_prefix PREFIX: the prefix all that follows runs in.
wine_prefix() {
  prefix=$1
  wine_env "$prefix"
}
# quiet: waits for the prefix's wineserver to end, so that no program (and
# no driver) of an earlier step is left.
quiet() { timeout 60 wineserver -w || fail "the prefix's wineserver did not end within 60 s"; }
# run PROGRAM [ARGS...]: runs it under Wine, bounded, so that a program that
# hangs fails the test rather than stalling the suite.
run() {
  local status=0
  timeout 120 "$scripts/wine-run.sh" "$prefix" "$@" || status=$?
  [ "$status" != 124 ] || fail "$* did not end within 120 s"
  return "$status"
}
# run_out PROGRAM [ARGS...]: what it printed, without Windows' line ends.
run_out() { run "$@" 2>/dev/null | tr -d '\r'; }
# no_service PROBE WHEN: once the prefix is quiet, the driver's service is
# gone (service_probe.exe at PROBE asks the service manager).
no_service() {
  quiet
  local state
  state=$(run_out "$1" query)
  [ "$state" = 1060 ] || fail "$2: the driver service is left behind (OpenServiceA: $state, expected 1060)"
}
