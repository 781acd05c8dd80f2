#!/usr/bin/env bash
# The console program of the Windows build as a user starts it, through the given runner
# (wine-run.sh): --help prints the usage; a two-second run prints one valid JSON document
# whose event_source says which kernel event source it used or why there was none; a log file
# whose name the system's code page has no characters for is made under that name (the
# arguments are taken as UTF-8, the file opened by its wide name).
#   console_check.sh <runner> <lumivex.exe>
set -euo pipefail
runner=$1
program=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

timeout 60 "$runner" "$program" --help >"$out/help" 2>"$out/help.err"
grep -q '^usage: lumivex' "$out/help" || { echo "no usage from --help:"; cat "$out/help" "$out/help.err"; exit 1; }

timeout 60 "$runner" "$program" --seconds 2 --json >"$out/run.json" 2>"$out/run.err" ||
  { echo "the run failed:"; cat "$out/run.err"; exit 1; }
jq -e . "$out/run.json" >/dev/null || { echo "not valid JSON:"; cat "$out/run.json"; exit 1; }
source=$(jq -r .event_source "$out/run.json")
echo "event_source: $source"
# "etw" when the kernel trace delivers, else "etw: <why>".
[[ "$source" == etw || "$source" == etw:\ ?* ]] || { echo "unexpected event_source"; exit 1; }
jq -e '.counters | type == "object"' "$out/run.json" >/dev/null

log="$out/日志.log"
LANG=C.UTF-8 timeout 60 "$runner" "$program" --seconds 1 --log "Z:$log" >"$out/log.out" 2>"$out/log.err" ||
  { echo "the run with a log file failed:"; cat "$out/log.err"; exit 1; }
[ -s "$log" ] || { echo "no log file $log:"; ls "$out"; cat "$out/log.err"; exit 1; }
