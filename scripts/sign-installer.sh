#!/usr/bin/env bash
# Signs the built installer with an Authenticode signature (osslsigncode), so that Windows shows the
# maker as its publisher when a user downloads and starts it.
#
#   scripts/sign-installer.sh --cert CERT --key KEY [--chain CHAIN] [--timestamp URL] IN.exe OUT.exe
#       the maker's code-signing certificate (PEM), its private key (PEM) and the certificates between it
#       and the root (PEM; default: CERT alone). --timestamp: an RFC 3161 time-stamping service, so that
#       the signature stays valid after the certificate expires.
#   scripts/sign-installer.sh --test-pki DIR IN.exe OUT.exe
#       for the demo and the tests: a code-signing certificate of the test CA in DIR (tools/pki/make_pki.sh
#       makes the CA; DIR/codesign.crt and codesign.key are made here once), never for a release.
#   scripts/sign-installer.sh --verify CA IN.exe
#       checks the signature of IN.exe against the root certificate CA (PEM); exit status 0 when it holds.
#
# OUT.exe is written beside IN.exe's contents; IN.exe is never changed. Exit status: 0 signed (or verified),
# 1 signing or verification failed, 2 usage.
set -euo pipefail
usage() { sed -n '2,17p' "$0" >&2; exit 2; }
command -v osslsigncode >/dev/null || { echo "sign-installer: osslsigncode is missing (scripts/deps.sh installs it)" >&2; exit 1; }

cert="" key="" chain="" timestamp="" pki="" verify=""
while [ $# -gt 0 ]; do
  case "$1" in
    --cert) cert="${2:?}"; shift ;;
    --key) key="${2:?}"; shift ;;
    --chain) chain="${2:?}"; shift ;;
    --timestamp) timestamp="${2:?}"; shift ;;
    --test-pki) pki="${2:?}"; shift ;;
    --verify) verify="${2:?}"; shift ;;
    -h|--help) usage ;;
    -*) echo "sign-installer: unknown option $1" >&2; usage ;;
    *) break ;;
  esac
  shift
done

if [ -n "$verify" ]; then
  [ $# -eq 1 ] || usage
  # -CAfile: the only root trusted; a signature by any other CA, or over other bytes, fails.
  osslsigncode verify -CAfile "$verify" -in "$1" >/dev/null 2>&1 || { echo "sign-installer: $1: the signature does not hold" >&2; exit 1; }
  echo "sign-installer: $1: signature good"
  exit 0
fi

[ $# -eq 2 ] || usage
in="$1" out="$2"
[ -f "$in" ] || { echo "sign-installer: $in is not a file" >&2; exit 2; }

if [ -n "$pki" ]; then
  [ -z "$cert$key$chain" ] || { echo "sign-installer: --test-pki takes no --cert, --key or --chain" >&2; exit 2; }
  [ -f "$pki/ca.crt" ] && [ -f "$pki/ca.key" ] || { echo "sign-installer: $pki holds no test CA (tools/pki/make_pki.sh)" >&2; exit 2; }
  (
    cd "$pki"
    exec 9>.codesign.lock
    flock 9
    if ! { [ -f codesign.crt ] && openssl x509 -checkend 86400 -noout -in codesign.crt >/dev/null 2>&1; }; then
      openssl req -newkey rsa:2048 -nodes -keyout codesign.key -out codesign.csr \
        -subj "/CN=QuarnSoft Kft. (test)/O=QuarnSoft Kft. (test)" >/dev/null 2>&1
      printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' > codesign.ext
      openssl x509 -req -in codesign.csr -CA ca.crt -CAkey ca.key -CAcreateserial -out codesign.crt -days 825 \
        -extfile codesign.ext >/dev/null 2>&1
      rm -f codesign.csr codesign.ext
    fi
  )
  cert="$pki/codesign.crt" key="$pki/codesign.key" chain="$pki/ca.crt"
fi
[ -n "$cert" ] && [ -n "$key" ] || usage

certs="$cert"
tmp=""
if [ -n "$chain" ]; then
  tmp="$(mktemp)"
  trap 'rm -f "$tmp"' EXIT
  cat "$cert" "$chain" > "$tmp"
  certs="$tmp"
fi
args=(sign -certs "$certs" -key "$key" -h sha256 -n "QuarnWebInstall" -i "https://www.quarnsoft.hu/")
[ -n "$timestamp" ] && args+=(-ts "$timestamp")
rm -f "$out"
osslsigncode "${args[@]}" -in "$in" -out "$out" >/dev/null || { rm -f "$out"; echo "sign-installer: signing $in failed" >&2; exit 1; }
echo "sign-installer: signed $out"
