#!/usr/bin/env bash
# Makes the test PKI used by the test servers, the demo and the benchmarks:
#   OUTDIR/ca.crt ca.der ca.key       a private test CA (trusted only by the project's Wine prefixes)
#   OUTDIR/server.crt server.key      a server certificate signed by it, for localhost and 127.0.0.1
#   OUTDIR/server.chain.crt           server certificate followed by the CA certificate
#   OUTDIR/other-ca.crt other.crt other.key other.chain.crt  a second CA nobody trusts (negative tests)
# Wine's TLS checks only DNS names of the subject alternative name, so 127.0.0.1 is listed as DNS too.
# Idempotent: an existing, still valid set is kept.
set -euo pipefail
out="${1:?usage: make_pki.sh OUTDIR}"
mkdir -p "$out"
cd "$out"
# Two test programs started at once may ask for the same set: the second waits for the first's, or it
# would write a key over the key of a certificate the first is signing.
exec 9>.make_pki.lock
flock 9
if [ -f server.chain.crt ] && openssl x509 -checkend 86400 -noout -in server.crt >/dev/null 2>&1; then
  exit 0
fi
mk_ca() { # name cn
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.crt" -days 3650 \
    -subj "/CN=$2" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" >/dev/null 2>&1
}
mk_leaf() { # ca name
  openssl req -newkey rsa:2048 -nodes -keyout "$2.key" -out "$2.csr" -subj "/CN=localhost" >/dev/null 2>&1
  printf 'subjectAltName=DNS:localhost,DNS:127.0.0.1,IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' > "$2.ext"
  openssl x509 -req -in "$2.csr" -CA "$1.crt" -CAkey "$1.key" -CAcreateserial -out "$2.crt" \
    -days 825 -extfile "$2.ext" >/dev/null 2>&1
  cat "$2.crt" "$1.crt" > "$2.chain.crt"
  rm -f "$2.csr" "$2.ext"
}
mk_ca ca "Quarn Test CA"
mk_ca other-ca "Untrusted Test CA"
mk_leaf ca server
mk_leaf other-ca other
openssl x509 -in ca.crt -outform DER -out ca.der
