#!/usr/bin/env bash
# Runs one fuzz target for a bounded time: new inputs go to a corpus in the build tree, the
# committed seeds stay untouched. Any crash, sanitizer report, leak or hang fails the run.
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=$4
mkdir -p "$work" "$work/findings"
"$fuzzer" "$work" "$seeds" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=4096 -print_final_stats=1 -artifact_prefix="$work/findings/" 2>&1 |
  grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb|Done|==|SUMMARY|.*check failed)|ERROR" || true
exit "${PIPESTATUS[0]}"
