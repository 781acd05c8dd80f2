#!/usr/bin/env bash
# Runs every libFuzzer target of build/fuzz for a bounded time each, starting from the
# committed seed corpus in fuzz/corpus/<target>/ when there is one. Targets run side by side,
# one per processor; a failing target prints the end of its log and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export seconds work

fuzz_one() {
  target=$1
  name=$(basename "$target")
  mkdir -p "$work/$name"
  [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$work/$name/"
  if "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       "$work/$name" 2>"$work/$name.log"; then
    echo "$name: $(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$work/$name.log" || echo 'no stats') in ${seconds}s"
  else
    echo "$name FAILED"
    tail -n 60 "$work/$name.log"
    return 255  # makes xargs stop starting further targets
  fi
}
export -f fuzz_one

targets=$(find build/fuzz -type f -name 'fuzz_*' -perm -u+x | sort)
[ -n "$targets" ] || { echo "no fuzz targets in build/fuzz"; exit 1; }
echo "$targets" | xargs -P "$(nproc)" -I{} bash -c 'fuzz_one "$1"' _ {}
echo "fuzz targets run: $(echo "$targets" | wc -l)"
