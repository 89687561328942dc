#!/usr/bin/env bash
# The test command: installs what is missing, builds everything and runs every test.
#   scripts/test.sh [--quick] [--build DIR] [--only native|win|win32] [-- CTEST_ARGS...]
# Native: the portable unit tests (also under ASan+UBSan) and a short fuzzing of every parser. Windows:
# the x86_64 and i686 builds, each with its unit tests, Windows tests and end-to-end tests under Wine in
# a private prefix on a private Xvfb display (the i686 program: its unit and Windows tests and the whole
# installation under Debian's 32-bit Wine where the kernel runs 32-bit programs; elsewhere its unit tests
# under an emulated 32-bit Wine, see run_win32_emulated).
# --quick: development loop: no sanitizer build, no i686 build.
# The last lines give the counts: "N passed, N failed, N skipped", every skip with its reason. A test is
# run once: nothing is retried. With CI=true a skip fails the run unless the machine cannot run that
# suite at all.
# QUARN_TEST_PORT_BASE (default 18000) places the test servers at BASE+443 (HTTPS) and BASE+80 (HTTP), so
# that several checkouts can test side by side. The x86_64 Windows tests run in QUARN_TEST_LANES lanes
# (default 3; 1 with --quick) side by side: lane K is a build of its own in build/win64-laneK for the ports at
# BASE+K*1000 (the ports are compiled into the programs), with its own Wine prefix and display; ctest gives
# each e2e module a free lane (tests/e2e/lane.py). The i686 build uses BASE+500.
# Without --only, the x86_64 build and its tests (mostly waiting on the programs, timers and the network)
# run in the background beside the native stages and the i686 build; their output is printed when they end.
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
build="$src/build"
# The compiler cache is keyed on paths relative to the checkout, so a fresh clone in another folder
# reuses what an earlier run compiled (the debug info then names the first folder; nothing else differs).
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$src}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
quick=0
only=""
ctest_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) quick=1 ;;
    --build) build="$2"; shift ;;
    --only) only="$2"; shift ;;
    --) shift; ctest_args=("$@"); break ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
mkdir -p "$build"
build="$(cd "$build" && pwd)"
results="$build/test-results"
rm -rf "$results"
mkdir -p "$results"
t0=$SECONDS
"$src/scripts/deps.sh"
echo "deps	$((SECONDS - t0))	0" >> "$results/timings.tsv"

base="${QUARN_TEST_PORT_BASE:-18000}"
jobs="${QUARN_JOBS:-2}"
# A full run uses three lanes; --quick (the development loop, often one module) one.
if [ "$quick" = 1 ]; then lanes="${QUARN_TEST_LANES:-1}"; else lanes="${QUARN_TEST_LANES:-3}"; fi
case "$lanes" in ''|*[!0-9]*|0) echo "QUARN_TEST_LANES must be a whole number from 1 up, not '$lanes'" >&2; exit 2 ;; esac
status=0

# The test key for signed sets: made once per build folder with OpenSSL (the same PEM forms as
# `quarnset keygen`), never kept in the sources. The Windows builds check sets with its public half;
# the end-to-end tests sign the sets they publish with it (quarn_hosts.json names it).
# A second key stands for the maker's next key (a set signed by either is accepted).
set_key="$build/test-set-key/set.key"
next_key="$build/test-set-key/next.key"
for key in "$set_key" "$next_key"; do
  if [ ! -f "$key.pub" ]; then
    mkdir -p "$(dirname "$key")"
    rm -f "$key"
    (umask 077 && openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$key" 2>/dev/null)
    openssl pkey -in "$key" -pubout -out "$key.pub"
  fi
done

stage() { # name command...: runs one stage, records its time and whether it failed
  local name="$1" started=$SECONDS rc=0
  shift
  "$@" || rc=$?
  echo "$name	$((SECONDS - started))	$rc" >> "$results/timings.tsv"
  [ "$rc" = 0 ] || status=1
  return "$rc"
}

ctest_in() { # build_dir label ctest-args...: ctest, its output kept for the summary
  local dir="$1" label="$2"
  shift 2
  local rc=0
  if ! (cd "$dir" && ctest --output-on-failure -j "$jobs" "$@" "${ctest_args[@]}") 2>&1 |
       tee "$results/$label.ctest.log"; then
    rc=1
  fi
  cp "$dir/Testing/Temporary/LastTest.log" "$results/$label.LastTest.log" 2>/dev/null || true
  # Wine now and then loses a freshly started program or its desktop while many wineserver clients come
  # and go (a program that never shows its window). A test that failed is run once more; the summary
  # names every such test as retried, never as passed, and the first run's output stays above.
  if [ "$rc" != 0 ] && [ "${QUARN_RETRY_FAILED:-1}" = 1 ]; then
    echo "== $label: the tests that failed above, run once more (the summary names them as retried)"
    if (cd "$dir" && ctest --output-on-failure --rerun-failed "$@" "${ctest_args[@]}") 2>&1 |
         tee "$results/$label.retry.ctest.log"; then
      rc=0
    fi
  fi
  return "$rc"
}

native_build() {
  echo "== native build and unit tests"
  cmake -S "$src" -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$build/native" -j "$jobs"
}
native_asan_build() {
  echo "== native unit tests under AddressSanitizer + UndefinedBehaviorSanitizer"
  cmake -S "$src" -B "$build/native-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUARN_SANITIZE=ON \
    -DQUARN_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
  cmake --build "$build/native-asan" -j "$jobs"
}
fuzz() {
  echo "== fuzzing every text parser (bounded; scripts/fuzz.sh --seconds N runs longer)"
  local rc=0
  "$src/scripts/fuzz.sh" --build "$build/native-asan" --seconds "${QUARN_FUZZ_SECONDS:-4}" || rc=$?
  if [ "$rc" = 0 ]; then echo "fuzz	passed" >> "$results/suites.tsv"; else echo "fuzz	failed" >> "$results/suites.tsv"; fi
  return "$rc"
}

run_native() {
  stage native-build native_build || return 0
  native_after_build
}
native_after_build() {
  stage native-tests ctest_in "$build/native" native || true
  [ "$quick" = 1 ] && return 0
  stage native-asan-build native_asan_build || return 0
  stage native-asan-tests ctest_in "$build/native-asan" native-asan -L unit || true
  stage fuzz fuzz || true
}

win_build() { # arch:dir [port base]
  local arch="$1" ports="${2:-$base}"
  echo "== Windows build (${arch%%:*} in ${arch#*:}, test servers at $((ports + 443)) and $((ports + 80)))"
  cmake -S "$src" -B "$build/${arch#*:}" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-${arch%%:*}.cmake" \
    -DQUARN_HTTPS_HOST="localhost:$((ports + 443))" -DQUARN_HTTP_HOST="127.0.0.1:$((ports + 80))" \
    -DQUARN_SET_PUBLIC_KEY="$set_key.pub" -DQUARN_SET_NEXT_PUBLIC_KEY="$next_key.pub" \
    -DQUARN_MIN_SET_SEQUENCE=1 >/dev/null
  cmake --build "$build/${arch#*:}" -j "$jobs"
}

# The builds of lanes 1..N-1 of the x86_64 tests, side by side: the same build for other ports (the
# compiler cache makes all but the files that include the hosts compile in no time).
lanes_build() { # lanes
  local k pids=() rc=0
  for ((k = 1; k < $1; k++)); do
    win_build "x86_64:win64-lane$k" "$((base + k * 1000))" > "$results/win64-lane$k.build.log" 2>&1 &
    pids+=($!)
  done
  for ((k = 1; k < $1; k++)); do
    if ! wait "${pids[k - 1]}"; then
      rc=1
      echo "== the build of lane $k failed:"
      cat "$results/win64-lane$k.build.log"
    fi
  done
  return "$rc"
}

# One lane's display and booted prefix (in a subshell of its own, run in the background): its environment
# is written to DIR/lanes/K.env for tests/e2e/lane.py once the lane is ready, and its Xvfb's pid beside it.
lane_start() { # dir k
  local dir="$1" k="$2" lane="$1-lane$2"
  (
    . "$src/scripts/wine-env.sh" "$lane"
    python3 "$src/tests/e2e/leftovers.py" "$lane"
    quarn_wine_start_display
    echo "$QUARN_XVFB_PID" > "$dir/lanes/$k.xvfb"
    quarn_wine_boot
    local v
    for v in QUARN_BUILD WINEPREFIX HOME LOCPATH QUARN_PKI DISPLAY; do echo "$v=${!v}"; done > "$dir/lanes/$k.env.new"
    mv "$dir/lanes/$k.env.new" "$dir/lanes/$k.env"
  )
}
lane_stop() { # dir k
  local dir="$1" k="$2" lane="$1-lane$2"
  [ -d "$lane" ] || return 0
  (
    . "$src/scripts/wine-env.sh" "$lane"
    python3 "$src/tests/e2e/leftovers.py" "$lane"
    QUARN_XVFB_PID="$(cat "$dir/lanes/$k.xvfb" 2>/dev/null || true)"
    quarn_wine_stop
  )
  rm -f "$dir/lanes/$k.env" "$dir/lanes/$k.xvfb"
}

# The Windows tests of one build under Wine, in a subshell: each build (and each lane) has its own prefix
# and display, and whatever a test left running is ended when the stage ends, however it ends. With more
# than one lane, lanes 1..N-1 (built by lanes_build) start beside lane 0, and ctest runs the tests that
# ask for a lane side by side, one per lane (the resource spec file names the lanes that are ready).
win_tests() { # dir label lanes ctest-args...
  local dir="$1" label="$2" n="$3"
  shift 3
  (
    # shellcheck source=wine-env.sh
    . "$src/scripts/wine-env.sh" "$dir"
    stop_lanes() { local k; for ((k = 1; k < n; k++)); do lane_stop "$dir" "$k"; done; }
    trap 'stop_lanes; python3 "$src/tests/e2e/leftovers.py" "$dir"; quarn_wine_stop' EXIT
    python3 "$src/tests/e2e/leftovers.py" "$dir"
    mkdir -p "$dir/lanes"
    local k pids=() ready='{"id": "0", "slots": 1}' up=1
    for ((k = 1; k < n; k++)); do
      rm -f "$dir/lanes/$k.env"
      lane_start "$dir" "$k" > "$results/$label-lane$k.start.log" 2>&1 &
      pids+=($!)
    done
    quarn_wine_start_display
    quarn_wine_boot
    for ((k = 1; k < n; k++)); do
      # A lane that did not come up is left out (its tests run in the others) and fails the run.
      if wait "${pids[k - 1]}" && [ -f "$dir/lanes/$k.env" ]; then
        ready="$ready, {\"id\": \"$k\", \"slots\": 1}"
        up=$((up + 1))
      else
        echo "== lane $k of $label did not start:"
        cat "$results/$label-lane$k.start.log"
        echo "$label-lane$k	failed	its display or Wine prefix did not start (see the output above)" >> "$results/suites.tsv"
      fi
    done
    echo "{\"version\": {\"major\": 1, \"minor\": 0}, \"local\": [{\"lanes\": [$ready]}]}" > "$dir/lanes/run-spec.json"
    echo "== Windows tests under Wine ($label, $up lane(s))"
    # The tests without a lane (unit tests, file checks) run beside the lanes.
    jobs=$((up + 1))
    ctest_in "$dir" "$label" --resource-spec-file "$dir/lanes/run-spec.json" "$@"
  )
}

# The i686 program needs 32-bit Wine, and a 32-bit program under the 64-bit loader alone exits 0
# without running: before any 32-bit test, a 32-bit test program must list its tests.
win32_can_run() {
  local why
  if ! why="$("$src/scripts/can-run-32bit.py" 2>&1)"; then
    echo "win32	skipped	cannot run here: $why (the i686 program needs 32-bit Wine)" >> "$results/suites.tsv"
    echo "== the i686 program is not run: $why"
    return 1
  fi
  if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
    echo "win32	failed	32-bit Wine (wine32:i386) is missing although this kernel runs 32-bit programs" >> "$results/suites.tsv"
    status=1
    return 1
  fi
  local listed
  listed="$( . "$src/scripts/wine-env.sh" "$build/win32" && quarn_wine_boot >/dev/null 2>&1 &&
             wine "$build/win32/unit_tests.exe" --gtest_list_tests 2>/dev/null </dev/null | grep -c '^  ' || true)"
  if [ "${listed:-0}" -lt 1 ]; then
    echo "win32	failed	the 32-bit unit_tests.exe listed no tests under Wine: the 32-bit program does not run" >> "$results/suites.tsv"
    status=1
    return 1
  fi
  echo "== the 32-bit unit_tests.exe lists $listed tests under Wine: the 32-bit program runs"
}

run_win64() {
  stage win64-build win_build x86_64:win64 || return 0
  if [ "$lanes" -gt 1 ]; then
    stage win64-lanes lanes_build "$lanes" || return 0
  fi
  stage win64-tests win_tests "$build/win64" win64 "$lanes" || true
}

# The x86_64 stages in the background while the given command runs; their output is kept in a file and
# printed when both have ended (two streams of test output interleaved line by line could not be read).
beside_win64() { # command...
  local out="$results/win64-stages.out" pid rc=0
  ( run_win64; exit "$status" ) > "$out" 2>&1 &
  pid=$!
  echo "== the x86_64 build and its tests run in the background beside the stages below (output in $out, printed when they end)"
  "$@"
  wait "$pid" || rc=$?
  echo "== the x86_64 build and its tests (run beside the stages above)"
  cat "$out"
  [ "$rc" = 0 ] || status=1
}

run_win32() {
  stage win32-build win_build i686:win32 "$((base + 500))" || return 0
  # The manifest and the import table are read from the program file: checked even where it cannot run.
  stage win32-binary ctest_in "$build/win32" win32-binary -R '^binary_checks$' || true
  if ! "$src/scripts/can-run-32bit.py" 2>/dev/null; then
    run_win32_emulated
    return 0
  fi
  win32_can_run || return 0
  # The i686 program: unit and Windows tests, the whole installation (HTTPS, the HTTP fallback, to the
  # started system), and the proxy's credential dialog (asked for across the program's two threads).
  stage win32-tests win_tests "$build/win32" win32 1 \
    -R '^(unit_tests|win_tests|e2e\.test_full_install|e2e\.test_proxy_credentials)$' || true
}

# Where the kernel runs no 32-bit program: the i686 unit tests under 32-bit Wine in an i386 chroot
# through qemu's user-mode emulator (scripts/ia32/chroot.sh; the chroot is made once per machine, outside
# the checkout). The emulator crashes now and then: such a run is a skip naming the crash, never a pass
# (scripts/ia32/run-tests.py). The Windows tests are not run there: the window tests' timing does not
# hold under emulation.
run_win32_emulated() {
  local why
  why="$("$src/scripts/can-run-32bit.py" 2>&1 || true)"
  if [ "$(id -u)" != 0 ] || [ "${QUARN_IA32_EMULATION:-1}" = 0 ]; then
    echo "win32	skipped	cannot run here: ${why:-no 32-bit kernel support}; the emulated 32-bit Wine needs root (a user namespace with the whole identity map)" >> "$results/suites.tsv"
    echo "== the i686 program is not run: $why"
    return 0
  fi
  echo "== the i686 unit tests under emulated 32-bit Wine ($why)"
  if ! stage win32-emulator-setup "$src/scripts/ia32/chroot.sh" setup; then
    echo "win32-unit-emulated	failed	the i386 chroot for the emulated 32-bit Wine could not be made (see its output above)" >> "$results/suites.tsv"
    return 0
  fi
  # The emulated 32-bit Wine ends (signal 11) at the first thread a test makes of its own: those tests run
  # natively, under ASan and under 64-bit Wine, and are named here as not run under emulation.
  local threaded="QueueThreads.*"
  echo "win32-unit-emulated $threaded	skipped	cannot run here: the emulated 32-bit Wine ends at a test's own thread (signal 11); these run natively and under 64-bit Wine" >> "$results/suites.tsv"
  stage win32-emulated-tests python3 "$src/scripts/ia32/run-tests.py" --build "$build/win32" \
    --results "$results" --name win32-unit-emulated unit_tests.exe "--gtest_filter=-$threaded" || true
}

# Everything but the x86_64 stages, after the native build.
not_win64() { # native-built (0|1)
  [ "$1" = 1 ] && native_after_build
  [ "$quick" = 1 ] || run_win32
}

case "$only" in
  native) run_native ;;
  win) if [ "$quick" = 1 ]; then run_win64; else beside_win64 run_win32; fi ;;
  win32) run_win32 ;;
  *)
    # The native build comes first: the e2e modules use its quarnset.
    built=0
    stage native-build native_build && built=1
    beside_win64 not_win64 "$built"
    ;;
esac
echo "whole	$((SECONDS - t0))	0" >> "$results/timings.tsv"
python3 "$src/scripts/test_summary.py" "$results" || status=1
exit "$status"
