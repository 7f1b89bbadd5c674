#!/bin/sh
# Runs the reader's fuzzer for a bounded time from the seed e-books, the inputs that once
# broke the reader and what earlier runs found.
#   tools/fuzz.sh BUILD_DIR SECONDS [libFuzzer options...]
# New inputs go to BUILD_DIR/tests/stub/fuzz-corpus; a crash is saved in
# BUILD_DIR/tests/stub/fuzz-crashes and ends the run with a non-zero status.
set -e
build="$1"
seconds="$2"
shift 2
here=$(cd "$(dirname "$0")/../tests/stub" && pwd)
work="$build/tests/stub"
mkdir -p "$work/fuzz-corpus" "$work/fuzz-crashes"
exec "$build/bin/reader_fuzz" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
  -rss_limit_mb=2048 -use_value_profile=1 -dict="$here/reader_fuzz.dict" \
  -artifact_prefix="$work/fuzz-crashes/" -print_final_stats=1 "$@" \
  "$work/fuzz-corpus" "$here/fuzz-seeds" "$here/fuzz-regressions"
