#!/usr/bin/env bash
# The test command: installs what is missing, builds everything and runs every test.
#   scripts/test.sh [--with-32bit] [--quick] [--build DIR] [--only native|win] [-- CTEST_ARGS...]
# --quick: development loop: skips the sanitizer build and the i686 build.
# Native: the portable unit tests (also under ASan+UBSan). Windows: x86_64 and i686 builds; the x86_64
# tests run under Wine in a private prefix on a private Xvfb display. --with-32bit installs Debian's
# 32-bit Wine (about 250 packages) and also runs the i686 program.
# QUARN_TEST_PORT_BASE (default 18000) places the test servers at BASE+443 (HTTPS) and BASE+80 (HTTP), so
# that several checkouts can test side by side.
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
build="$src/build"
with32=0
quick=0
only=""
ctest_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --with-32bit) with32=1 ;;
    --quick) quick=1 ;;
    --build) build="$2"; shift ;;
    --only) only="$2"; shift ;;
    --) shift; ctest_args=("$@"); break ;;
    -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
mkdir -p "$build"
build="$(cd "$build" && pwd)"
"$src/scripts/deps.sh"
if [ "$with32" = 1 ]; then "$src/scripts/deps.sh" --wine32; fi

base="${QUARN_TEST_PORT_BASE:-18000}"
https_host="localhost:$((base + 443))"
http_host="127.0.0.1:$((base + 80))"
jobs="${QUARN_JOBS:-2}"
status=0

# The test key for signed sets: made once per build folder with OpenSSL (the same PEM forms as
# `quarnset keygen`), never kept in the sources. The Windows builds check sets with its public half;
# the end-to-end tests sign the sets they publish with it (quarn_hosts.json names it).
set_key="$build/test-set-key/set.key"
if [ ! -f "$set_key.pub" ]; then
  mkdir -p "$(dirname "$set_key")"
  rm -f "$set_key"
  (umask 077 && openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$set_key" 2>/dev/null)
  openssl pkey -in "$set_key" -pubout -out "$set_key.pub"
fi

run_native() {
  echo "== native build and unit tests"
  cmake -S "$src" -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$build/native" -j "$jobs"
  (cd "$build/native" && ctest --output-on-failure -j "$jobs" "${ctest_args[@]}") || status=1
  [ "$quick" = 1 ] && return 0
  echo "== native unit tests under AddressSanitizer + UndefinedBehaviorSanitizer"
  cmake -S "$src" -B "$build/native-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUARN_SANITIZE=ON \
    -DQUARN_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
  cmake --build "$build/native-asan" -j "$jobs"
  (cd "$build/native-asan" && ctest --output-on-failure -j "$jobs" -L unit "${ctest_args[@]}") || status=1
  echo "== fuzzing every text parser (bounded; scripts/fuzz.sh --seconds N runs longer)"
  "$src/scripts/fuzz.sh" --build "$build/native-asan" --seconds "${QUARN_FUZZ_SECONDS:-4}" || status=1
}

run_win() {
  echo "== Windows builds (x86_64, i686)"
  local archs="x86_64:win64 i686:win32"
  [ "$quick" = 1 ] && archs="x86_64:win64"
  for arch in $archs; do
    cmake -S "$src" -B "$build/${arch#*:}" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-${arch%%:*}.cmake" \
      -DQUARN_HTTPS_HOST="$https_host" -DQUARN_HTTP_HOST="$http_host" \
      -DQUARN_SET_PUBLIC_KEY="$set_key.pub" >/dev/null
    cmake --build "$build/${arch#*:}" -j "$jobs"
  done
  echo "== Windows tests under Wine (x86_64)"
  # shellcheck source=wine-env.sh
  . "$src/scripts/wine-env.sh" "$build/win64"
  quarn_wine_start_display
  trap quarn_wine_stop EXIT
  quarn_wine_boot
  # Wine occasionally loses a process or its desktop while several wineserver clients come and go
  # (a program that never shows its window); a test that fails is run once more, and the first
  # failure stays in the log above the pass.
  (cd "$build/win64" && ctest --output-on-failure -j "$jobs" --repeat until-pass:2 "${ctest_args[@]}") || status=1
  if [ "$with32" = 1 ]; then
    echo "== 32-bit program under Wine"
    QUARN_WIN32_BUILD="$build/win32" python3 "$src/tests/e2e/run32.py" --build "$build/win32" \
      --source "$src" || status=1
  fi
}

case "$only" in
  native) run_native ;;
  win) run_win ;;
  *) run_native; run_win ;;
esac
if [ "$status" = 0 ]; then echo "ALL TESTS PASSED"; else echo "SOME TESTS FAILED"; fi
exit "$status"
