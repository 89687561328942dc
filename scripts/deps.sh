#!/usr/bin/env bash
# Installs what the build, the demo and the tests need on Debian 12. Idempotent: when every package is
# already present it only checks and returns within a second.
set -euo pipefail
# --wine32: also Debian's 32-bit Wine (about 250 packages), needed only to run the i686 program.
if [ "${1:-}" = "--wine32" ]; then
  if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
    SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO dpkg --add-architecture i386
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq wine32:i386 >/dev/null
  fi
  exit 0
fi

PKGS=(cmake ninja-build g++ clang libclang-rt-14-dev
      g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64
      wine64 wine xvfb xauth imagemagick x11-utils locales fonts-wine fonts-dejavu-core
      googletest libgtest-dev ccache libcurl4-openssl-dev libssl-dev openssl nginx-light python3 curl)

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
