#!/usr/bin/env bash
# Installs what the build, the demo and the tests need on Debian 12. Idempotent: when every package is
# already present it only checks and returns within a second.
set -euo pipefail
PKGS=(cmake ninja-build g++ clang libclang-rt-14-dev
      g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64
      wine64 wine xvfb xauth imagemagick x11-utils locales fonts-wine fonts-dejavu-core
      googletest libgtest-dev ccache libcurl4-openssl-dev libssl-dev openssl nginx-light python3 curl
      osslsigncode)

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  # nginx-light's package starts a system nginx on port 80; we never use it, our servers run on their own
  # ports with their own config.
  $SUDO systemctl disable --now nginx >/dev/null 2>&1 || $SUDO service nginx stop >/dev/null 2>&1 || true
fi

# Debian's 32-bit Wine (about 250 packages of the i386 architecture): the i686 program is tested too.
# Without it a 32-bit program started by the 64-bit loader exits 0 without running at all. 32-bit Wine
# is a 32-bit Linux program: on a kernel without IA32 emulation it cannot start, and installed there it
# would also stop every 64-bit Windows program (/usr/bin/wine prefers it), so it is installed only where
# the kernel runs 32-bit programs. scripts/test.sh reports the 32-bit stage as skipped, with the reason,
# where it cannot run.
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  if "$(dirname "$0")/can-run-32bit.py" 2>/dev/null; then
    echo "deps: installing wine32:i386 (32-bit Wine)"
    SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO dpkg --add-architecture i386
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq wine32:i386 >/dev/null
  fi
elif ! "$(dirname "$0")/can-run-32bit.py"; then
  echo "deps: wine32:i386 is installed but this kernel cannot run it; it also stops 64-bit Wine" >&2
  echo "      (/usr/bin/wine prefers it): remove it with  apt-get remove wine32:i386 libwine:i386" >&2
  exit 1
fi
