#!/usr/bin/env bash
# Runs a fuzzer for a bounded time from a copy of its seed corpus and prints
# how many inputs it executed. An input that fails is kept in the working
# directory (crash-…).   run-fuzzer.sh FUZZER SEEDS SECONDS
set -euo pipefail
fuzzer=$1 seeds=$2 seconds=$3
work=$(mktemp -d "${LIKENESS_TMP:-/tmp}/likeness-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
mkdir "$work/corpus"
cp -r "$seeds/." "$work/corpus/"
"$fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=20 -rss_limit_mb=4096 \
  -print_final_stats=1 "$work/corpus" 2>"$work/log" || { tail -n 60 "$work/log"; exit 1; }
grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$work/log"
