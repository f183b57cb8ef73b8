#!/usr/bin/env bash
# Feeds 64 MB of random bytes to every parser's replay program and checks that none crashes and
# that the peak resident size stays within four times the input (256 MB) besides the replay
# program's own copy of it.
# Usage: tools/fuzz-large-input.sh <build folder>
set -euo pipefail

build=$(realpath "$1")
input="$build/fuzz/random-64M.bin"
mkdir -p "$build/fuzz"
[[ -s "$input" ]] || head -c $((64 << 20)) /dev/urandom >"$input"
failed=0
for replay in "$build"/tests/fuzz/replay_*; do
  [[ "$replay" == *_asan ]] && continue
  name=${replay##*/replay_}
  if output=$("$replay" --max-rss-mb=$((4 * 64 + 64 + 32)) "$input" 2>&1); then
    printf '%-20s %s\n' "$name" "${output##*$'\n'}"
  else
    printf '%-20s FAILED: %s\n' "$name" "${output##*$'\n'}"
    failed=1
  fi
done
exit $failed
