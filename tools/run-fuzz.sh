#!/usr/bin/env bash
# Runs every fuzz target of a TRV_FUZZ build for a number of seconds, several at once.
# Usage: tools/run-fuzz.sh <fuzz folder> <seconds per target> <parallel jobs>
# Each target grows its own corpus (<fuzz folder>/corpus/<name>, started from the seeds in
# tests/fuzz/corpus/<name>) and leaves crashes, leaks and timeouts in
# <fuzz folder>/crashes/<name>/. Prints the executions per target; fails when any target found
# something.
set -euo pipefail

folder=$(realpath "$1")
seconds=$2
jobs=$3
source_dir=$(cd "$(dirname "$0")/.." && pwd)
binaries=("$folder"/clang/tests/fuzz/fuzz_*)

run_one() {
  local binary=$1 folder=$2 seconds=$3 source_dir=$4
  local name=${binary##*/fuzz_}
  mkdir -p "$folder/corpus/$name" "$folder/crashes/$name" "$folder/logs"
  # Inputs over 10 s count as timeouts; a leak or a sanitizer report stops the target.
  "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$folder/crashes/$name/" "$folder/corpus/$name" \
    "$source_dir/tests/fuzz/corpus/$name" >"$folder/logs/$name.log" 2>&1 || true
}
export -f run_one

printf '%s\n' "${binaries[@]}" |
  xargs -P "$jobs" -I{} bash -c 'run_one "$@"' _ {} "$folder" "$seconds" "$source_dir"

found=0
for binary in "${binaries[@]}"; do
  name=${binary##*/fuzz_}
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$folder/logs/$name.log" |
    grep -o '[0-9]*$' || echo "?")
  crashes=$(find "$folder/crashes/$name" -type f | wc -l)
  printf '%-20s %12s executions  %d findings\n' "$name" "$runs" "$crashes"
  ((crashes == 0)) || found=1
done
exit $found
