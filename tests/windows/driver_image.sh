#!/usr/bin/env bash
# LPTWDMIO.SYS is a kernel image Windows can load: native subsystem, imports
# from ntoskrnl.exe (and hal.dll) only, relocatable, and signed with the
# build's test certificate twice: SHA-1 first (all that Vista and 7 x64 read
# without the SHA-2 update), then a nested SHA-256 signature.
#   driver_image.sh DRIVER.SYS CERTIFICATE.pem OBJDUMP
source "$(dirname "$0")/wine_test_lib.sh"
driver=$1 certificate=$2 objdump=$3

headers=$($objdump -p "$driver") || { fail "$driver is not a PE image"; exit 1; }
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
# Each signature's digest and verdict, in order: "SHA1 ok", "SHA256 ok".
signatures=$(awk '
  /^Signature Index:/ { if (digest != "") print digest, verdict; digest = ""; verdict = "failed" }
  /^Message digest algorithm +:/ { digest = $NF }
  /^Signature verification: ok/ { verdict = "ok" }
  END { if (digest != "") print digest, verdict }' <<<"$verify")
[ "$signatures" = $'SHA1 ok\nSHA256 ok' ] || fail "signatures are not SHA-1 then a nested SHA-256, both verifying
against the test certificate:
$signatures
$verify"

passed "LPTWDMIO.SYS: native, imports $(echo $imports), signed with SHA-1 and SHA-256"
