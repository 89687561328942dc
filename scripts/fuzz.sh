#!/usr/bin/env bash
# Runs every fuzz target of tests/fuzz for a bounded time, starting from its seeds (tests/fuzz/seeds/NAME)
# and, where a published sample set exists, its description files. A crash leaves its input in
# BUILD/fuzz-findings/ and fails the run; turn it into a regression case in the unit tests.
#   scripts/fuzz.sh [--seconds N] [--build DIR]      (default: 4 s per target, build/native-asan)
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
build="$src/build/native-asan"
seconds=4
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; shift ;;
    --build) build="$2"; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
if [ ! -d "$build/fuzz" ]; then
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUARN_SANITIZE=ON -DQUARN_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
  cmake --build "$build" -j "${QUARN_JOBS:-2}"
fi
findings="$build/fuzz-findings"
mkdir -p "$findings"
# What each run found: target, seconds, executions, corpus inputs afterwards, findings (a TSV that
# tests/reliability_doc.py --write turns into the Outcome column of docs/reliability.md).
results="$build/fuzz-results.tsv"
: > "$results"
status=0
for fuzzer in "$build"/fuzz/fuzz_*; do
  name="$(basename "$fuzzer")"
  corpus="$build/fuzz-corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "$src/tests/fuzz/seeds/$name" ] && seeds+=("$src/tests/fuzz/seeds/$name")
  rm -f "$findings/$name-"*
  rc=0
  "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -artifact_prefix="$findings/$name-" \
    -print_final_stats=0 "$corpus" "${seeds[@]}" > "$build/fuzz-$name.log" 2>&1 || rc=$?
  runs="$(grep -Eo 'Done [0-9]+ runs' "$build/fuzz-$name.log" | tail -1 | grep -Eo '[0-9]+' || echo 0)"
  found="$(find "$findings" -maxdepth 1 -name "$name-*" | wc -l)"
  printf '%s\t%s\t%s\t%s\t%s\n' "$name" "$seconds" "$runs" "$(find "$corpus" -type f | wc -l)" "$found" >> "$results"
  if [ "$rc" = 0 ]; then
    echo "fuzz: $name clean ($runs runs)"
  else
    echo "fuzz: $name FOUND A PROBLEM: see $build/fuzz-$name.log and $findings/"
    tail -30 "$build/fuzz-$name.log"
    status=1
  fi
done
exit "$status"
