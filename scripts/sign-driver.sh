#!/usr/bin/env bash
# Signs a driver image with the build's test certificate, made on first use:
#   sign-driver.sh SIGNING_DIR UNSIGNED.sys SIGNED.sys
# A test signature loads only where test signing is on (README, Windows);
# a production signature is Microsoft's to give and no build can make it.
set -euo pipefail
dir=$1 in=$2 out=$3
mkdir -p "$dir"
if [ ! -f "$dir/test-signing.key" ] || [ ! -f "$dir/test-signing.pem" ]; then
  openssl req -x509 -newkey rsa:3072 -sha256 -nodes -days 3650 \
    -subj "/CN=Pinlark Test Signing" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
    -keyout "$dir/test-signing.key.new" -out "$dir/test-signing.pem.new" 2>/dev/null
  # The certificate a test machine imports into its trusted stores.
  openssl x509 -in "$dir/test-signing.pem.new" -outform der -out "$dir/pinlark-test-signing.cer"
  mv "$dir/test-signing.key.new" "$dir/test-signing.key"
  mv "$dir/test-signing.pem.new" "$dir/test-signing.pem"
fi
# SHA-1 first, which Vista and 7 x64 (without the SHA-2 update) read, then a
# nested SHA-256 signature for the systems that want that.
rm -f "$out.sha1" "$out.new"
sign() {
  osslsigncode sign -certs "$dir/test-signing.pem" -key "$dir/test-signing.key" \
    -n "LPT port direct access service" "$@" >/dev/null
}
sign -h sha1 -in "$in" -out "$out.sha1"
sign -nest -h sha256 -in "$out.sha1" -out "$out.new"
rm -f "$out.sha1"
mv "$out.new" "$out"
# Beside the driver, for whoever installs it on a test machine.
cp "$dir/pinlark-test-signing.cer" "$(dirname "$out")/"
