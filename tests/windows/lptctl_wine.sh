#!/usr/bin/env bash
# lptctl.exe beside the real LPTWDMIO.SYS under Wine's service manager, on
# the driver's simulated ports (Wine has no parallel port driver):
#   lptctl_wine.sh PREFIX BIN_DIR
# Each run starts from a prefix whose wineserver has ended, so every run
# installs and starts the driver afresh and leaves no service behind.
set -uo pipefail
prefix=$1 bin=$2
run="$(dirname "$0")/../../scripts/wine-run.sh"
export WINEPREFIX=$prefix WINEDEBUG=-all
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# lptctl ARGS...: its output without carriage returns, and what it said on
# stderr after it; $status its exit status.
lptctl() {
  timeout 60 wineserver -w || fail "the prefix's wineserver did not end within 60 s"
  output=$("$run" "$prefix" "$bin/lptctl.exe" "$@" 2>"$errors" | tr -d '\r'; exit "${PIPESTATUS[0]}")
  status=$?
}
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT

lptctl probe
[ "$status" = 0 ] || fail "probe: exit status $status"
[ "$output" = "LPT1 present data=00 status=87 control=CC simulated
LPT2 present data=00 status=7F control=CC simulated
LPT3 absent" ] || fail "probe printed:
$output"

lptctl read LPT1
[ "$status" = 0 ] || fail "read: exit status $status"
[ "$(head -n 1 <<<"$output")" = "LPT1 data=00 status=87 control=CC simulated" ] || fail "read printed:
$output"
grep -qx 'BUSY   pin 11  low   status bit 7 = 1, inverted' <<<"$output" || fail "read lacks BUSY's line:
$output"

lptctl selftest 1
[ "$status" = 0 ] || fail "selftest: exit status $status:
$output
$(tr -d '\r' <"$errors")"

lptctl set 2 ERR
[ "$status" = 2 ] || fail "set of an input: exit status $status, expected 2"

# The doctor starts the service itself and tells what the service manager
# said; the service it installed for that goes again.
lptctl doctor
grep -qx '\[ok\]   service: lptwdmio (installed for this check) started' <<<"$output" || fail "doctor printed:
$output"
timeout 60 wineserver -w || fail "the prefix's wineserver did not end within 60 s"
state=$("$run" "$prefix" "$bin/service_probe.exe" query | tr -d '\r')
[ "$state" = 1060 ] || fail "the doctor left its service behind (OpenServiceA: $state)"

# Closing the console of a running watch: Windows ends lptctl once its
# handler returns, which must be after the connection deleted the service.
timeout 60 wineserver -w || fail "the prefix's wineserver did not end within 60 s"
output=$("$run" "$prefix" "$bin/console_event.exe" "$(winepath -w "$bin/lptctl.exe" 2>/dev/null)" watch LPT1 \
  2>/dev/null | tr -d '\r')
[ "$output" = "$(printf '%s\n' "0.000000 LPT1 data=00 status=87 control=CC" "exit 0")" ] ||
  fail "watch, its console closed, printed:
$output"

# The scripting commands: a level, a pulse train, and a wait that times out.
lptctl get lpt1 d0 err busy
[ "$status:$output" = "0:0 0 0" ] || fail "get: exit status $status, printed '$output'"
lptctl pulse 1 D1 --count 3
[ "$status" = 0 ] && grep -qx 'LPT1 D1 (pin 3): 3 pulses high' <<<"$output" || fail "pulse: exit status $status:
$output"
lptctl wait 1 ERR=rising --timeout 0.1
[ "$status" = 1 ] || fail "wait without the edge: exit status $status, expected 1"

timeout 60 wineserver -w || fail "the prefix's wineserver did not end within 60 s"
state=$("$run" "$prefix" "$bin/service_probe.exe" query | tr -d '\r')
[ "$state" = 1060 ] || fail "the driver service is left behind (OpenServiceA: $state)"

[ "$failures" -eq 0 ] || exit 1
echo "lptctl under Wine: probe, read, selftest, get, pulse, wait, usage and a closed console as expected"
