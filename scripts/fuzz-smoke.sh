#!/usr/bin/env bash
# Runs every fuzz target for a few seconds (default 10) from its seed corpus.
# Usage: scripts/fuzz-smoke.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-10}
status=0
for bin in build-fuzz/fuzz/fuzz_*; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin")
  seeds=fuzz/corpus/${name#fuzz_}
  work=$(mktemp -d)
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/ 2>/dev/null || true
  echo "fuzz smoke: $name for ${secs}s"
  if ! "$bin" -max_total_time="$secs" -max_len=65536 -rss_limit_mb=2048 -print_final_stats=0 "$work" >"$work.log" 2>&1; then
    tail -n 40 "$work.log"; status=1
  fi
  rm -rf "$work" "$work.log"
done
exit $status
