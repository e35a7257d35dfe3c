#!/usr/bin/env bash
# Runs a libFuzzer target for a given time and prints one summary line.
# Usage: scripts/fuzz.sh FUZZER CORPUS_DIR SECONDS
set -euo pipefail
fuzzer=$1 corpus=$2 seconds=$3
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Up to 1 MB per input: long box texts are part of what must never crash or hang.
if ! "$fuzzer" -max_total_time="$seconds" -max_len=1048576 -timeout=5 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$(dirname "$corpus")/" "$corpus" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz: FAILED (crash, hang or broken invariant; the input is saved as crash-*/timeout-*)"
    exit 1
fi
runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 \2/p' "$log" | tail -n 1)
read -r total secs <<<"${runs:-0 1}"
echo "fuzz: $total inputs in ${secs} s ($(( total / (secs > 0 ? secs : 1) )) per second), 0 crashes, corpus $(ls "$corpus" | wc -l) files"
