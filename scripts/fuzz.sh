#!/usr/bin/env bash
# Runs every libFuzzer target of build/fuzz on a copy of its checked-in
# corpus, so the corpus in the repository stays as it is. Exits non-zero when
# a target finds a crash, a leak, a hang or runs out of memory; the input is
# kept under the work folder and its path printed.
#   scripts/fuzz.sh [seconds per target] [parallel jobs per target]
# Build first: cmake --preset fuzz && cmake --build --preset fuzz. The asan
# build holds the same targets unoptimised: MVK_FUZZ_BUILD=build/asan.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-3}
jobs=${2:-1}
bin=${MVK_FUZZ_BUILD:-build/fuzz}/fuzz
work=$(mktemp -d "${TMPDIR:-/tmp}/mvk-fuzz.XXXXXX")

failed=()
for corpus in fuzz/corpus/*/; do
  name=$(basename "$corpus")
  target=$bin/fuzz_$name
  if [ ! -x "$target" ]; then
    echo "missing fuzz target $target" >&2
    exit 1
  fi
  mkdir -p "$work/$name"
  cp -r "$corpus". "$work/$name/"
  log=$work/$name.log
  args=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10
        -artifact_prefix="$work/$name-" -print_final_stats=1)
  if [ "$jobs" -gt 1 ]; then
    args+=(-fork="$jobs" -ignore_crashes=0)
  fi
  if "$target" "${args[@]}" "$work/$name" >"$log" 2>&1; then
    runs=$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$' |
           awk '{s += $1} END {print s + 0}')
    echo "fuzz_$name: ${runs} runs, no finding"
  else
    echo "fuzz_$name: FINDING (log: $log)" >&2
    tail -n 40 "$log" >&2
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "Fuzzing found faults in: ${failed[*]} (inputs kept in $work)" >&2
  exit 1
fi
rm -rf "$work"
