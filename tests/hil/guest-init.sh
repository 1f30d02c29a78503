#!/bin/busybox sh
# /init of the test guest. Runs the steps of one case (pinlark.case= on the
# kernel command line) and reports every result as "@@ ..." lines on the
# console for hil.sh to check. Ends by writing 0x10 to the debug exit port.
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
# Where a desktop keeps shared memory, and with it the simulated ports' state.
mkdir -p /dev/shm && mount -t tmpfs shm /dev/shm
echo "1 4 1 7" >/proc/sys/kernel/printk
export PATH=/bin LD_LIBRARY_PATH=/lib

case=$(sed -n 's/.*pinlark\.case=\([a-z_0-9]*\).*/\1/p' /proc/cmdline)
P=/opt/pinlark

say() { echo "@@ $*"; }
# run NAME CMD...: NAME rc=N, then NAME.out / NAME.err lines
run() {
  name=$1; shift
  "$@" >/tmp/out 2>/tmp/err
  say "$name rc=$?"
  sed "s/^/@@ $name.out /" /tmp/out
  sed "s/^/@@ $name.err /" /tmp/err
}
finish() {
  dmesg | grep -iE 'parport|ppdev' | sed 's/^/@@ dmesg /'
  sync
  printf '\020' | dd of=/dev/port bs=1 seek=244 count=1 2>/dev/null
  reboot -f
}
load_ports() {  # parport and parport_pc, which take these arguments
  insmod /modules/parport.ko || say "insmod parport failed"
  insmod /modules/parport_pc.ko "$@" || say "insmod parport_pc failed"
  n=0
  for d in /proc/sys/dev/parport/parport*; do
    [ -e "$d/base-addr" ] || continue
    n=$((n + 1))
    set -- $(cat "$d/base-addr")
    say "base $(basename "$d") $(printf '0x%x' "$1")"
  done
  say "parports $n"
}
load_ppdev() {
  insmod /modules/ppdev.ko || say "insmod ppdev failed"
  nodes=$(cd /dev && ls -d parport* 2>/dev/null | tr '\n' ' ')
  say "nodes ${nodes:-none}"
  # As a distribution sets them up: group lp may open the nodes, others not.
  for d in /dev/parport*; do
    [ -e "$d" ] && chgrp 7 "$d" && chmod 0660 "$d"
  done
}
load_modules() {
  load_ports "$@"
  load_ppdev
}
as_user() {  # as_user USER CMD...
  user=$1; shift
  su -s /bin/sh -c "$*" "$user"
}

case $case in
  one_port)
    load_ports
    # A real port but no ppdev: no nodes, and still no case for simulating.
    run noppdev $P/lptprobe
    load_ppdev
    run lptprobe $P/lptprobe
    run doctor $P/lptctl doctor
    run doctor_nolp as_user nolp $P/lptctl doctor
    run watch_rate $P/lptctl watch LPT2 --interval 0 --duration 1
    run strobe_driver $P/lpt_hil strobe driver 0x20 PINL
    run direct $P/lpt_hil direct
    run strobe_direct $P/lpt_hil strobe direct 0x20 DIR0
    run crosscheck $P/lpt_hil crosscheck 0x20
    run denied as_user nolp $P/lptprobe
    run granted as_user inlp $P/lptprobe
    # A second program while the first still holds the port.
    $P/lpt_hil hold 30 >/tmp/hold 2>&1 &
    holder=$!
    for i in 1 2 3 4 5 6 7 8 9 10; do grep -q held /tmp/hold && break; sleep 1; done
    run holder cat /tmp/hold
    say "active $(cat /proc/sys/dev/parport/parport0/devices/active)"
    run second timeout 20 $P/lptprobe
    run busy timeout 20 env LPTWDMIO_WAIT_MS=50 $P/lptctl read LPT2
    run get_held timeout 20 env LPTWDMIO_WAIT_MS=50 $P/lptctl get LPT2 D0
    # As if the holder had claimed the port just after the module read its
    # entry: the entry still says free, so the module claims, and the kernel's
    # claim would wait for the holder for ever.
    stale=/tmp/stale/parport0
    mkdir -p $stale/devices
    cp /proc/sys/dev/parport/parport0/base-addr $stale/
    echo none >$stale/devices/active
    run raced env LPTWDMIO_PROC_DIR=/tmp/stale timeout 20 $P/lptprobe
    kill $holder; wait $holder
    say "active $(cat /proc/sys/dev/parport/parport0/devices/active)"
    run third timeout 20 $P/lptprobe
    # The lines for scripts, from a known state: INIT low resets the status
    # of QEMU's printer.
    run init_low $P/lptctl write LPT2 control 08
    run init_high $P/lptctl write LPT2 control 0C
    run get_idle $P/lptctl get LPT2 err sel pe ack busy
    run wait_level $P/lptctl wait LPT2 sel=1 PE=0 --timeout 1
    run wait_timeout $P/lptctl wait LPT2 ERR=falling --timeout 0.2
    run pulse_1000 $P/lptctl pulse LPT2 D1 --width 1000 --count 100
    run pulse_100 $P/lptctl pulse LPT2 D1 --width 100 --count 100
    run get_after $P/lptctl get LPT2 D1
    # A strobe clears BUSY; then each status read flips ACK until BUSY comes
    # back, so the wait's own reads make the edge it waits for.
    run strobe_on $P/lptctl write LPT2 control 0D
    run wait_ack $P/lptctl wait LPT2 ACK=falling --timeout 5
    # The port's interrupt: a wait for ACK's fall sleeps on it while the
    # printer's side acknowledges straight at the I/O ports.
    say "irq_line $(cat /proc/sys/dev/parport/parport0/irq)"
    say "irq_count_before $(awk '/parport/ {print $2}' /proc/interrupts)"
    $P/lptctl wait LPT2 ACK=falling --timeout 20 -v >/tmp/wirq.out 2>/tmp/wirq.err &
    waiter=$!
    for i in 1 2 3 4 5 6 7 8 9 10; do grep -q 'waiting on' /tmp/wirq.err && break; sleep 1; done
    sleep 1
    run ack $P/lpt_hil ack 0x378
    wait $waiter
    say "wait_irq rc=$?"
    sed 's/^/@@ wait_irq.out /' /tmp/wirq.out
    sed 's/^/@@ wait_irq.err /' /tmp/wirq.err
    say "irq_count_after $(awk '/parport/ {print $2}' /proc/interrupts)"
    ;;
  two_ports)
    load_modules
    insmod /modules/lp.ko && say "lp loaded"
    run lptprobe $P/lptprobe
    run direct $P/lpt_hil direct
    run strobe_lpt2 $P/lpt_hil strobe driver 0x20 LPT2
    run strobe_lpt3 $P/lpt_hil strobe driver 0x30 LPT3
    # Two programs side by side, each holding only the port it works on.
    $P/lptctl watch LPT2 --duration 8 >/tmp/watch.out 2>/tmp/watch.err &
    watcher=$!
    for i in 1 2 3 4 5 6 7 8 9 10; do grep -q 'watching' /tmp/watch.err && break; sleep 1; done
    run side $P/lptctl write LPT3 data 5A
    run beside $P/lptprobe
    wait $watcher
    say "watcher rc=$?"
    ;;
  no_port)
    load_modules
    run direct $P/lpt_hil direct
    run lptprobe $P/lptprobe
    # A node left behind with no port to serve it.
    mknod /dev/parport0 c 99 0
    run stale timeout 20 $P/lptprobe
    ;;
  other_base)
    load_modules io=0x378,0x268 irq=none,none
    run lptprobe $P/lptprobe
    run strobe_lpt1 $P/lpt_hil strobe driver 0x10 LPT1
    ;;
  *)
    say "unknown case '$case'"
    ;;
esac
finish
