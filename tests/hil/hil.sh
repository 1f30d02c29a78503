#!/usr/bin/env bash
# Boots a small Linux guest under QEMU with its emulated ISA parallel ports and
# checks our port access against the kernel's parport_pc and ppdev drivers.
#
#   hil.sh --bin DIR --work DIR prepare          fetch the kernel, build the initramfs
#   hil.sh --bin DIR --work DIR CASE...          boot one guest per case and check it
#
# Cases: one_port two_ports no_port other_base. Never skips: a missing QEMU,
# kernel or program is a failure.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bin_dir="" work=""
cases=()
while [ $# -gt 0 ]; do
  case $1 in
    --bin) bin_dir=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    *) cases+=("$1"); shift ;;
  esac
done
[ -n "$bin_dir" ] && [ -n "$work" ] && [ ${#cases[@]} -gt 0 ] || {
  echo "usage: hil.sh --bin DIR --work DIR prepare|CASE..." >&2; exit 2; }

die() { echo "hil: FAIL: $*" >&2; exit 1; }

qemu=$(command -v qemu-system-x86_64 || true)
[ -n "$qemu" ] || die "qemu-system-x86_64 not found (bash scripts/setup.sh --hil installs it)"
mkdir -p "$work"
work=$(cd "$work" && pwd)
bin_dir=$(cd "$bin_dir" && pwd)
kdir=$work/kernel
initrd=$work/initrd.cpio

# --- kernel --------------------------------------------------------------
# vmlinuz and the three modules must come from the same package: the modules
# carry the exact kernel version they were built for.
resolve_kernel() {
  apt-cache depends linux-image-amd64 2>/dev/null |
    sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*\)$/\1/p' | head -n1 || true
}

download() {  # download PKG DIR
  local tmp; tmp=$(mktemp -d "$2/dl.XXXXXX")
  if (cd "$tmp" && timeout 120 apt-get download -q -o APT::Sandbox::User=root "$1" >/dev/null 2>&1); then
    mv "$tmp"/*.deb "$2"/
    rm -rf "$tmp"
    return 0
  fi
  rm -rf "$tmp"
  return 1
}

fetch_kernel() {
  local debs=$work/debs pkg deb=""
  mkdir -p "$debs"
  pkg=$(resolve_kernel)
  if [ -n "$pkg" ]; then
    deb=$(ls "$debs"/"$pkg"_*.deb 2>/dev/null | head -n1 || true)
  else
    # No package index here: a kernel fetched earlier still serves.
    deb=$(ls -t "$debs"/linux-image-*.deb 2>/dev/null | head -n1 || true)
  fi
  if [ -z "$deb" ]; then
    echo "hil: downloading ${pkg:-the kernel}"
    if [ -z "$pkg" ] || ! download "$pkg" "$debs"; then
      # The package index may be missing or older than the archive.
      apt-get update -qq >/dev/null 2>&1 || true
      pkg=$(resolve_kernel)
      [ -n "$pkg" ] && download "$pkg" "$debs" ||
        die "cannot fetch the kernel package ${pkg:-for linux-image-amd64} (apt-get update; apt-get download)"
    fi
    deb=$(ls "$debs"/"$pkg"_*.deb | head -n1)
  fi

  local stamp; stamp=$(basename "$deb")
  [ -f "$kdir/.from" ] && [ "$(cat "$kdir/.from")" = "$stamp" ] && [ -f "$kdir/modules/lp.ko" ] &&
    return 0
  echo "hil: unpacking $stamp"
  rm -rf "$kdir" "$kdir.tmp"
  mkdir -p "$kdir.tmp/x"
  dpkg-deb --fsys-tarfile "$deb" |
    tar -x -C "$kdir.tmp/x" --wildcards './boot/vmlinuz-*' \
      '*/drivers/parport/parport.ko*' '*/drivers/parport/parport_pc.ko*' '*/drivers/char/ppdev.ko*' \
      '*/drivers/char/lp.ko*'
  mkdir -p "$kdir.tmp/modules"
  cp "$kdir.tmp"/x/boot/vmlinuz-* "$kdir.tmp/vmlinuz"
  local m f
  for m in parport parport_pc ppdev lp; do
    f=$(find "$kdir.tmp/x" -name "$m.ko*" | head -n1)
    [ -n "$f" ] || die "$m module missing from $stamp"
    case $f in
      *.ko.xz) xz -dc "$f" >"$kdir.tmp/modules/$m.ko" ;;
      *.ko.zst) zstd -qdc "$f" >"$kdir.tmp/modules/$m.ko" ;;
      *.ko.gz) gzip -dc "$f" >"$kdir.tmp/modules/$m.ko" ;;
      *) cp "$f" "$kdir.tmp/modules/$m.ko" ;;
    esac
  done
  rm -rf "$kdir.tmp/x"
  echo "$stamp" >"$kdir.tmp/.from"
  mv "$kdir.tmp" "$kdir"
}

# --- initramfs -----------------------------------------------------------
copy_with_libs() {  # copy_with_libs ROOT FILE DEST: FILE plus every library it needs
  local root=$1 file=$2 dest=$3 lib
  cp "$file" "$root$dest"
  for lib in $(ldd "$file" | grep -o '/[^ ]*' | sort -u); do
    [ -e "$root/lib/$(basename "$lib")" ] || cp -L "$lib" "$root/lib/"
  done
}

build_initrd() {
  local busybox root=$work/root p
  busybox=$(command -v busybox || true)
  [ -n "$busybox" ] || die "busybox not found (bash scripts/setup.sh --hil installs busybox-static)"
  ldd "$busybox" >/dev/null 2>&1 && die "$busybox is dynamically linked; the guest needs busybox-static"
  command -v cpio >/dev/null || die "cpio not found (bash scripts/setup.sh --hil installs it)"
  for p in lptprobe lptctl LPTWDMIO.SYS lpt_hil; do
    [ -f "$bin_dir/$p" ] || die "$bin_dir/$p not built"
  done

  rm -rf "$root"
  mkdir -p "$root"/{bin,lib,lib64,dev,proc,sys,tmp,etc,opt/pinlark,modules}
  cp "$busybox" "$root/bin/busybox"
  cp "$here/guest-init.sh" "$root/init"
  chmod 755 "$root/init"
  cp "$kdir"/modules/*.ko "$root/modules/"
  for p in lptprobe lptctl LPTWDMIO.SYS lpt_hil; do
    copy_with_libs "$root" "$bin_dir/$p" /opt/pinlark/
  done
  # Programs ask for the loader by its absolute path.
  local interp
  interp=$(readelf -l "$bin_dir/lptprobe" | sed -n 's/.*Requesting program interpreter: \(.*\)]/\1/p')
  mkdir -p "$root$(dirname "$interp")"
  cp -L "$interp" "$root$interp"
  # nolp is in no group that may open the port nodes; inlp is in group lp.
  printf 'root:x:0:0::/:/bin/sh\nnolp:x:1000:100::/tmp:/bin/sh\ninlp:x:1001:100::/tmp:/bin/sh\n' >"$root/etc/passwd"
  printf 'root:x:0:\nlp:x:7:inlp\nusers:x:100:\n' >"$root/etc/group"
  (cd "$root" && find . | cpio -o -H newc --quiet) >"$initrd.tmp"
  mv "$initrd.tmp" "$initrd"
}

prepare() {
  exec 9>"$work/.lock"
  flock 9
  fetch_kernel
  build_initrd
  flock -u 9
}

# --- boot ----------------------------------------------------------------
qpid=""
cleanup() { [ -n "$qpid" ] && kill "$qpid" 2>/dev/null; wait 2>/dev/null || true; }
trap cleanup EXIT
trap 'exit 130' INT TERM

# boot CASE DIR QEMU-ARGS...: runs the guest; its transcript lands in DIR/console.log
boot() {
  local case=$1 dir=$2; shift 2
  rm -rf "$dir"; mkdir -p "$dir"
  local rc=0
  # no_timer_check: on a busy host the emulated timer is too slow for the
  # kernel's IO-APIC timer check, which then panics.
  timeout --kill-after=5 90 "$qemu" -accel tcg -nodefaults -display none -no-reboot -m 256 \
    -kernel "$kdir/vmlinuz" -initrd "$initrd" \
    -append "console=ttyS0 panic=-1 quiet no_timer_check pinlark.case=$case" \
    -serial "file:$dir/console.log" \
    -device isa-debug-exit,iobase=0xf4,iosize=0x04 "$@" </dev/null >"$dir/qemu.log" 2>&1 &
  qpid=$!
  wait "$qpid" || rc=$?
  qpid=""
  # The guest writes 0x10 to the exit port after its last step: QEMU exits (0x10<<1)|1.
  if [ "$rc" -ne 33 ]; then
    cat "$dir/console.log" "$dir/qemu.log" >&2 || true
    case $rc in
      124|137) die "$case: guest did not finish within 90 s" ;;
      0) die "$case: guest rebooted before its last step (kernel panic or init died)" ;;
      *) die "$case: QEMU exited $rc" ;;
    esac
  fi
  tr -d '\r' <"$dir/console.log" | sed -n 's/^@@ //p' >"$dir/results"
}

# --- checks --------------------------------------------------------------
failures=0
cur=""
fail() { echo "hil: $cur: $*" >&2; failures=$((failures + 1)); }
# has LINE: the guest reported exactly this line
has() { grep -qxF -- "$1" "$cur_dir/results" || fail "expected '$1'"; }
# lines KEY: the guest's lines for KEY (without the key)
lines() { sed -n "s/^$1 //p" "$cur_dir/results"; }
# says KEY MESSAGE GREP-ARGUMENTS...: grep finds one of the lines for KEY
says() { lines "$1" | grep -q "${@:3}" || fail "$2: $(lines "$1")"; }
file_holds() {  # file_holds FILE HEX: FILE contains these bytes in a row
  local got; got=$(od -An -v -tx1 "$1" | tr -d ' \n')
  case $got in *"$2"*) ;; *) fail "$(basename "$1") holds '$got', expected it to contain '$2'" ;; esac
}
file_lacks() {
  local got; got=$(od -An -v -tx1 "$1" | tr -d ' \n')
  case $got in *"$2"*) fail "$(basename "$1") holds '$got', expected no '$2' in it" ;; esac
}
probe_says() {  # probe_says KEY P1 P2 P3 (present/absent for LPT1..LPT3)
  local key=$1 n=1 v
  shift
  for v in "$@"; do
    grep -qE "^$key\.out LPT$n $v( |\$)" "$cur_dir/results" || fail "expected $key to report LPT$n $v"
    n=$((n + 1))
  done
}

probe_kind() {  # probe_kind KEY N WORD: the line of LPTn ends with WORD (simulated, base=0x378)
  grep -qE "^$1\.out LPT$2 present .* $3\$" "$cur_dir/results" ||
    fail "expected $1 to report LPT$2 as $3: $(lines "$1.out" | grep "^LPT$2" || true)"
}

check_one_port() {
  local d=$cur_dir
  has "parports 1"
  has "base parport0 0x378"
  has "noppdev rc=1"
  has "noppdev.out error 2"
  has "noppdev.err lptwdmio: the kernel has a parallel port but there is no /dev/parport*; load ppdev (sudo modprobe ppdev)"
  # Through the driver: LPT2 is the port at 0x378.
  has "lptprobe rc=0"
  probe_says lptprobe absent present absent
  # Idle lines of an emulated port with nothing attached: BUSY inverted, inputs high.
  says lptprobe.out "LPT2 registers not as at idle" -x 'LPT2 present data=[0-9A-F][0-9A-F] status=D[89] control=CC base=0x378'
  # lptctl doctor finds the real port usable, and tells a user outside group
  # lp what to do; watch's sampling rate through ppdev goes to the log.
  has "doctor rc=0"
  says doctor.out "doctor did not find LPT2 usable" -x '\[ok\]   result: real port usable: LPT2 at 0x378'
  has "doctor_nolp rc=1"
  says doctor_nolp.out "doctor did not tell nolp to join group lp" 'fix: sudo usermod -aG lp nolp, then log out and in again'
  has "watch_rate rc=0"
  echo "hil: one_port: lptctl watch through ppdev (TCG guest): $(lines watch_rate.err | grep ' samples in ')"
  # Strobed bytes written through the driver reach the printer side.
  has "strobe_driver rc=0"
  file_holds "$d/lpt378.bin" "50494e4c"
  # The direct path sees the same hardware.
  has "direct rc=0"
  probe_says direct absent present absent
  has "strobe_direct rc=0"
  file_holds "$d/lpt378.bin" "44495230"
  # Both paths agree on what the port reads.
  has "crosscheck rc=0"
  # A user whose group cannot open the nodes gets access denied and the hint.
  has "denied rc=1"
  has "denied.out error 5"
  [ "$(lines denied.err | wc -l)" -eq 1 ] || fail "expected one line on stderr, got: $(lines denied.err)"
  says denied.err "hint does not name the nodes' group" 'group lp '
  # ... and the advice works: the same user in group lp gets through.
  has "granted rc=0"
  probe_says granted absent present absent
  # A second program while the first holds the port: lptprobe leaves it alone
  # and names its holder; a command that needs it waits within its bound,
  # then says busy and who holds it (the kernel's claim would wait for ever).
  has "holder.out held yes"
  has "active ppdev0"
  has "second rc=0"
  says second.out "lptprobe did not name LPT2's holder" -x 'LPT2 held by pid [0-9]* (lpt_hil) base=0x378'
  has "busy rc=1"
  says busy.err "lptctl did not say LPT2 is busy" '(error 170): LPT2 is held by pid [0-9]* (lpt_hil); '
  # The holder took the port after the module read its entry: the claim gives
  # up within its bound and says why; a claim that waits is killed by timeout
  # 20 instead.
  has "raced rc=0"
  has "raced.out LPT2 held by another program base=0x378"
  says raced.err "the given-up claim did not say why" \
    -x 'lptwdmio: /dev/parport0 is in use by another program (pid [0-9]*); close that program and try again'
  # Once the holder is gone the port is free again, the given-up claim
  # having left nothing behind in the kernel.
  has "active none"
  has "third rc=0"
  probe_says third absent present absent
  probe_kind third 2 base=0x378
  # get, wait and pulse on the real port. A held port fails at once.
  has "get_held rc=1"
  says get_held.err "get on a held port" 'another program holds the port'
  has "get_idle rc=0"
  has "get_idle.out 1 1 0 1 0"
  has "wait_level rc=0"
  says wait_level.out "wait for a level" -xE '0\.[0-9]{6} SEL=1 PE=0'
  has "wait_timeout rc=1"
  says wait_timeout.err "wait without the edge" -E 'timed out after 0\.2[0-9]* s waiting for ERR=falling \(ERR=1\)'
  local width
  for width in 1000 100; do
    has "pulse_$width rc=0"
    has "pulse_$width.out LPT2 D1 (pin 3): 100 pulses high"
    echo "hil: one_port: lptctl pulse through ppdev (TCG guest): $(lines pulse_$width.out | grep -E '^(width|period)' | paste -sd ';')"
  done
  has "get_after.out 0"
  has "wait_ack rc=0"
  says wait_ack.out "wait for ACK's edge ($(lines wait_ack.err))" -xE '[0-9]+\.[0-9]{6} ACK=0'
  # QEMU's port raises its interrupt, which the kernel delivers: the wait
  # sleeps on it and the interrupt wakes it when ACK has fallen.
  echo "hil: one_port: parport0 irq $(lines irq_line); interrupts $(lines irq_count_before) before, $(lines irq_count_after) after"
  has "ack rc=0"
  has "wait_irq rc=0"
  has "wait_irq.err lptctl: waiting on LPT2 by the port's interrupt, reading it every 100 ms as well"
  says wait_irq.out "wait on the interrupt" -xE '[0-9]+\.[0-9]{6} ACK=0'
  says wait_irq.err "the interrupt never reached the wait" -xE "lptctl: the port's interrupt came [1-9][0-9]* times?"
}

check_two_ports() {
  local d=$cur_dir
  has "parports 2"
  # With the printer driver bound to both ports, as on a desktop with a print
  # system: it holds them only while printing.
  has "lp loaded"
  # LPT2 and LPT3 whatever numbers the kernel gave them.
  has "lptprobe rc=0"
  probe_says lptprobe absent present present
  probe_kind lptprobe 2 base=0x378
  probe_kind lptprobe 3 base=0x278
  has "direct rc=0"
  probe_says direct absent present present
  # Each LPT slot drives its own connector: bytes for LPT2 reach only 0x378's file.
  has "strobe_lpt2 rc=0"
  has "strobe_lpt3 rc=0"
  file_holds "$d/lpt378.bin" "4c505432"
  file_lacks "$d/lpt378.bin" "4c505433"
  file_holds "$d/lpt278.bin" "4c505433"
  file_lacks "$d/lpt278.bin" "4c505432"
  # A watch holds LPT2 while a command changes LPT3 and lptprobe looks.
  has "side rc=0"
  says beside.out "lptprobe did not find LPT2 held by the watch" -x 'LPT2 held by pid [0-9]* (lptctl) base=0x378'
  says beside.out "lptprobe did not read LPT3 beside the watch" '^LPT3 present data=5A '
  has "watcher rc=0"
}

check_no_port() {
  has "parports 0"
  has "nodes none"
  # The direct path finds no port on a floating bus.
  has "direct rc=0"
  probe_says direct absent absent absent
  # No /dev/parport* at all: the driver serves its simulated bank, and says so.
  has "lptprobe rc=0"
  probe_says lptprobe present present absent
  probe_kind lptprobe 1 simulated
  probe_kind lptprobe 2 simulated
  has "lptprobe.err lptwdmio: no parallel port found; simulating LPT1 (with a loopback plug) and LPT2. For real ports load parport_pc and ppdev (sudo modprobe parport_pc ppdev)"
  # A node with no port behind it is no simulated bank: its port says why
  # it cannot be reached.
  has "stale rc=0"
  has "stale.out LPT1 present error 1167"
}

check_other_base() {
  local d=$cur_dir
  has "parports 2"
  has "base parport1 0x268"
  # A port outside the three legacy bases takes the first free slot, LPT1;
  # the query names each port's base.
  has "lptprobe rc=0"
  probe_says lptprobe present present absent
  probe_kind lptprobe 1 base=0x268
  probe_kind lptprobe 2 base=0x378
  has "strobe_lpt1 rc=0"
  file_holds "$d/lpt268.bin" "4c505431"
  file_lacks "$d/lpt378.bin" "4c505431"
}

run_case() {
  local case=$1 t0=$SECONDS
  cur=$case
  cur_dir=$work/run/$case
  local d=$cur_dir
  case $case in
    one_port)   boot "$case" "$d" -parallel "file:$d/lpt378.bin" ;;
    two_ports)  boot "$case" "$d" -parallel "file:$d/lpt378.bin" -parallel "file:$d/lpt278.bin" ;;
    no_port)    boot "$case" "$d" ;;
    other_base) boot "$case" "$d" -chardev "file,id=p0,path=$d/lpt378.bin" \
                  -device isa-parallel,chardev=p0,iobase=0x378,irq=7 \
                  -chardev "file,id=p1,path=$d/lpt268.bin" \
                  -device isa-parallel,chardev=p1,iobase=0x268,irq=5 ;;
    *) die "unknown case $case" ;;
  esac
  local before=$failures
  "check_$case"
  if [ "$failures" -ne "$before" ]; then
    echo "hil: $case: guest transcript:" >&2
    sed 's/^/  /' "$d/results" >&2
  else
    echo "hil: $case passed ($((SECONDS - t0)) s)"
  fi
}

for c in "${cases[@]}"; do
  if [ "$c" = prepare ]; then prepare; continue; fi
  # Rebuild when a program or the guest script changed since the last image.
  if [ ! -f "$initrd" ] || [ ! -f "$kdir/vmlinuz" ] ||
     [ -n "$(find "$here/guest-init.sh" "$bin_dir/lptprobe" "$bin_dir/lptctl" "$bin_dir/LPTWDMIO.SYS" "$bin_dir/lpt_hil" \
              -newer "$initrd" 2>/dev/null)" ]; then
    prepare
  fi
  run_case "$c"
done
[ "$failures" -eq 0 ] || die "$failures check(s) failed"
