#!/usr/bin/env bash
# LPTWDMIO.SYS is a kernel image Windows can load: native subsystem, imports
# from ntoskrnl.exe (and hal.dll) only, relocatable, and signed with the
# build's test certificate.
#   driver_image.sh DRIVER.SYS CERTIFICATE.pem
set -uo pipefail
driver=$1 certificate=$2
objdump=x86_64-w64-mingw32-objdump
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

headers=$($objdump -p "$driver") || { echo "FAIL: $driver is not a PE image"; exit 1; }
grep -q 'Subsystem.*(NT native)' <<<"$headers" || fail "subsystem is not native"
grep -qw DYNAMIC_BASE <<<"$headers" && $objdump -h "$driver" | grep -qw '\.reloc' ||
  fail "image is not relocatable (the kernel loads drivers anywhere)"
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u)
[ -n "$imports" ] || fail "no imports at all"
for dll in $imports; do
  case $dll in ntoskrnl.exe | hal.dll) ;; *) fail "imports $dll" ;; esac
done
grep -q 'AddressOfEntryPoint\s*0*[1-9a-f]' <<<"$headers" || fail "no entry point"

verify=$(osslsigncode verify -CAfile "$certificate" -in "$driver" 2>&1)
grep -q 'Signature verification: ok' <<<"$verify" || fail "signature does not verify against the test certificate:
$verify"

[ "$failures" -eq 0 ] && echo "LPTWDMIO.SYS: native, imports $(echo $imports), signed"
[ "$failures" -eq 0 ]
