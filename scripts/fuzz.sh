#!/usr/bin/env bash
# Runs every libFuzzer target of build/fuzz for a bounded time each, starting from the
# committed seed corpus in fuzz/corpus/<target>/ when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
found=0
while IFS= read -r target; do
  name=$(basename "$target")
  found=$((found + 1))
  mkdir -p "$work/$name"
  [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$work/$name/"
  echo "fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    "$work/$name" 2>"$work/$name.log" || { tail -n 60 "$work/$name.log"; exit 1; }
  grep -E 'stat::number_of_executed_units' "$work/$name.log" || true
done < <(find build/fuzz -type f -name 'fuzz_*' -perm -u+x | sort)
echo "fuzz targets run: $found"
