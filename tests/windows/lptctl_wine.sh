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

# lptctl ARGS...: run on a quiet prefix; its output without carriage
# returns in $output, what it said on stderr in $errors, its exit status in
# $status. lptctl_beside runs one beside what runs already.
lptctl() {
  timeout 60 wineserver -w || fail "the prefix's wineserver did not end within 60 s"
  lptctl_beside "$@"
}
lptctl_beside() {
  output=$(timeout 60 "$run" "$prefix" "$bin/lptctl.exe" "$@" 2>"$errors" | tr -d '\r'; exit "${PIPESTATUS[0]}")
  status=$?
}
# within SECONDS COMMAND...: polls the command until it succeeds, for at most
# that long.
within() {
  local limit=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$limit" ] || return 1
    sleep 0.1
  done
}
work=$(mktemp -d)
errors=$work/errors
trap 'rm -rf "$work"' EXIT

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

# Two tools at once: a watch holds LPT2 while others read LPT1, probe (LPT2
# shown held by the watch's process), drive LPT2's far end (the watch
# reports it) and try to set a line of LPT2 (busy). The watch runs in a
# process group of its own, so that Ctrl+C reaches it (and the launcher Wine
# may put in front of it) and nothing else.
timeout 60 wineserver -w || fail "the prefix's wineserver did not end within 60 s"
setsid "$run" "$prefix" "$bin/lptctl.exe" watch LPT2 >"$work/watch" 2>"$work/watch-errors" &
watch=$!
watch_said() { tr -d '\r' <"$work/watch" | grep -qx "$1"; }
within 60 watch_said '0.000000 LPT2 data=00 status=7F control=CC' || fail "the watch did not start:
$(tr -d '\r' <"$work/watch" "$work/watch-errors")"

lptctl_beside read LPT1
[ "$status" = 0 ] && [ "$(head -n 1 <<<"$output")" = "LPT1 data=00 status=87 control=CC simulated" ] ||
  fail "read LPT1 beside the watch: exit status $status:
$output
$(tr -d '\r' <"$errors")"

# The watch's Windows process id, as Wine's debugger lists it.
holder=$(timeout 60 "$run" "$prefix" winedbg --command "info process" 2>/dev/null | tr -d '\r' |
  sed -n "s/^[ =]*\([0-9a-f]*\) .*'lptctl\.exe'\$/\1/p")
lptctl_beside probe
[ "$status" = 0 ] || fail "probe beside the watch: exit status $status"
[ -n "$holder" ] && [ "$output" = "LPT1 present data=00 status=87 control=CC simulated
LPT2 held by pid $((16#$holder)) (lptctl.exe) simulated
LPT3 absent" ] || fail "probe beside the watch (pid ${holder:-unknown}, hexadecimal) printed:
$output"

lptctl_beside sim LPT2 ACK=0
[ "$status" = 0 ] || fail "sim beside the watch: exit status $status: $(tr -d '\r' <"$errors")"
within 60 watch_said '[0-9.]* ACK(10)=0' || fail "the watch did not report ACK going low:
$(tr -d '\r' <"$work/watch")"

lptctl_beside set LPT2 D0
[ "$status" = 1 ] && grep -q '(error 170): LPT2 is held by pid' "$errors" ||
  fail "set on the watched LPT2: exit status $status, expected 1 (busy): $(tr -d '\r' <"$errors")"

kill -INT -- "-$watch"
ended() { ! kill -0 "$watch" 2>/dev/null; }
if ! within 60 ended || ! grep -q ' samples in ' "$work/watch-errors"; then
  fail "Ctrl+C did not end the watch:
$(tr -d '\r' <"$work/watch-errors")"
  kill -KILL -- "-$watch" 2>/dev/null
fi
wait "$watch"
timeout 60 wineserver -w || fail "the prefix's wineserver did not end within 60 s"
state=$("$run" "$prefix" "$bin/service_probe.exe" query | tr -d '\r')
[ "$state" = 1060 ] || fail "the tools beside each other left the service behind (OpenServiceA: $state)"

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
echo "lptctl under Wine: probe, read, selftest, get, pulse, wait, usage, tools side by side and a closed console as expected"
