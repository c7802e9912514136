#!/usr/bin/env bash
# Builds the fuzz targets (preset "fuzz": clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time, from its seed
# corpus and what earlier runs found (build/fuzz/corpus/). A crash, a sanitizer
# report, a leak, an input slower than the timeout or running out of memory
# fails the script; the input is kept in build/fuzz/artifacts/.
#
# TALMER_FUZZ_SECONDS: how long each target runs (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${TALMER_FUZZ_SECONDS:-30}"
cmake --preset fuzz
cmake --build --preset fuzz

mkdir -p build/fuzz/artifacts
while IFS=$'\t' read -r name seeds dictionary; do
  echo "=== fuzz $name: $seconds s"
  mkdir -p "build/fuzz/corpus/$name"
  "build/fuzz/bin/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="build/fuzz/artifacts/$name-" \
    ${dictionary:+"-dict=$dictionary"} "build/fuzz/corpus/$name" "$seeds" </dev/null
done <build/fuzz/fuzzers.txt
