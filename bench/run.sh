#!/usr/bin/env bash
# Runs the benchmarks (not part of the test command): bench/run.sh [--quick] [--runs N] [--sets large,small,many]
# [--protocols http,https] [--rate BYTES] [--rtt MS[,MS...]] [--keep]. --quick: the small and the large set,
# one run, HTTP (a few minutes).
# Builds into build/bench, serves generated sets with nginx on ports 19443/19080 (QUARN_BENCH_PORT_BASE=N
# moves them to N+443/N+80), writes
# build/bench/performance-table.md and build/bench/results.json (docs/performance.md explains the figures).
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
"$src/scripts/deps.sh"
mkdir -p "$src/build/bench"
. "$src/scripts/wine-env.sh" "$src/build/bench"
quarn_wine_start_display
trap quarn_wine_stop EXIT
cmake -S "$src" -B "$src/build/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" \
  -DQUARN_HTTPS_HOST=localhost:$((${QUARN_BENCH_PORT_BASE:-19000} + 443)) \
  -DQUARN_HTTP_HOST=127.0.0.1:$((${QUARN_BENCH_PORT_BASE:-19000} + 80)) >/dev/null
cmake --build "$src/build/bench" -j 2 --target certtool driver >/dev/null
quarn_wine_boot
python3 "$src/bench/run.py" "$@"
