#!/usr/bin/env bash
# lptctl.exe beside the real LPTWDMIO.SYS under Wine's service manager, on
# the driver's simulated ports (Wine has no parallel port driver):
#   lptctl_wine.sh PREFIX BIN_DIR
# Each run starts from a prefix whose wineserver has ended, so every run
# installs and starts the driver afresh and leaves no service behind.
source "$(dirname "$0")/wine_test_lib.sh"
wine_prefix "$1"
bin=$2

# lptctl ARGS...: run on a quiet prefix; its output without carriage
# returns in $output, what it said on stderr in $errors, its exit status in
# $status. lptctl_beside runs one beside what runs already.
errors=$scratch/errors
lptctl() {
  quiet
  lptctl_beside "$@"
}
lptctl_beside() {
  output=$(run "$bin/lptctl.exe" "$@" 2>"$errors" | tr -d '\r')
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

lptctl probe
[ "$status" = 0 ] || fail "probe: exit status $status"
expect probe "$output" "$simulated_probe"

lptctl read LPT1
[ "$status" = 0 ] || fail "read: exit status $status"
expect read "$(head -n 1 <<<"$output")" "LPT1 data=00 status=87 control=CC simulated"
says "read lacks BUSY's line" "$output" -x 'BUSY   pin 11  low   status bit 7 = 1, inverted'

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
# may put in front of it) and nothing else; its bound is the wait below.
quiet
watch_out=$scratch/watch watch_errors=$scratch/watch-errors
setsid "$scripts/wine-run.sh" "$prefix" "$bin/lptctl.exe" watch LPT2 >"$watch_out" 2>"$watch_errors" &
watch=$!
watch_said() { tr -d '\r' <"$watch_out" | grep -qx "$1"; }
within 60 watch_said '0.000000 LPT2 data=00 status=7F control=CC' || fail "the watch did not start:
$(tr -d '\r' <"$watch_out" "$watch_errors")"

lptctl_beside read LPT1
[ "$status" = 0 ] || fail "read LPT1 beside the watch: exit status $status: $(tr -d '\r' <"$errors")"
expect "read LPT1 beside the watch" "$(head -n 1 <<<"$output")" "LPT1 data=00 status=87 control=CC simulated"

# The watch's Windows process id, as Wine's debugger lists it.
holder=$(run_out winedbg --command "info process" | sed -n "s/^[ =]*\([0-9a-f]*\) .*'lptctl\.exe'\$/\1/p")
lptctl_beside probe
[ "$status" = 0 ] || fail "probe beside the watch: exit status $status"
[ -n "$holder" ] || fail "winedbg does not list the watch"
expect "probe beside the watch (pid ${holder:-unknown}, hexadecimal)" "$output" \
  "LPT1 present data=00 status=87 control=CC simulated
LPT2 held by pid $((16#${holder:-0})) (lptctl.exe) simulated
LPT3 absent"

lptctl_beside sim LPT2 ACK=0
[ "$status" = 0 ] || fail "sim beside the watch: exit status $status: $(tr -d '\r' <"$errors")"
within 60 watch_said '[0-9.]* ACK(10)=0' || fail "the watch did not report ACK going low:
$(tr -d '\r' <"$watch_out")"

lptctl_beside set LPT2 D0
[ "$status" = 1 ] || fail "set on the watched LPT2: exit status $status, expected 1 (busy)"
says "set on the watched LPT2" "$(tr -d '\r' <"$errors")" '(error 170): LPT2 is held by pid'

kill -INT -- "-$watch"
ended() { ! kill -0 "$watch" 2>/dev/null; }
if ! within 60 ended || ! grep -q ' samples in ' "$watch_errors"; then
  fail "Ctrl+C did not end the watch:
$(tr -d '\r' <"$watch_errors")"
  kill -KILL -- "-$watch" 2>/dev/null
fi
wait "$watch"
no_service "$bin/service_probe.exe" "after the tools beside each other"

# The doctor starts the service itself and tells what the service manager
# said; the service it installed for that goes again.
lptctl doctor
says "doctor" "$output" -x '\[ok\]   service: lptwdmio (installed for this check) started'
no_service "$bin/service_probe.exe" "after the doctor"

# Closing the console of a running watch: Windows ends lptctl once its
# handler returns, which must be after the connection deleted the service.
quiet
expect "watch, its console closed," \
  "$(run_out "$bin/console_event.exe" "$(winepath -w "$bin/lptctl.exe" 2>/dev/null)" watch LPT1)" \
  "$(printf '%s\n' "0.000000 LPT1 data=00 status=87 control=CC" "exit 0")"

# The scripting commands: a level, a pulse train, and a wait that times out.
lptctl get lpt1 d0 err busy
[ "$status:$output" = "0:0 0 0" ] || fail "get: exit status $status, printed '$output'"
lptctl pulse 1 D1 --count 3
[ "$status" = 0 ] || fail "pulse: exit status $status"
says pulse "$output" -x 'LPT1 D1 (pin 3): 3 pulses high'
lptctl wait 1 ERR=rising --timeout 0.1
[ "$status" = 1 ] || fail "wait without the edge: exit status $status, expected 1"

no_service "$bin/service_probe.exe" "at the end"
passed "lptctl under Wine: probe, read, selftest, get, pulse, wait, usage, tools side by side and a closed console as expected"
