#!/bin/sh
# Runs the reader's fuzzer for a bounded time from the seed e-books, the inputs that once
# broke the reader and what earlier runs found.
#   tools/fuzz.sh BUILD_DIR SECONDS [libFuzzer options...]
#   tools/fuzz.sh --check BUILD_DIR RUNS [libFuzzer options...]   (the test command's)
# New inputs go to BUILD_DIR/tests/reader/fuzz-corpus; a crash is saved in
# BUILD_DIR/tests/reader/fuzz-crashes and ends the run with a non-zero status.
set -e
check=""
[ "$1" = --check ] && check=1 && shift
build="$1"
limit="$2"
shift 2
here=$(cd "$(dirname "$0")/../tests/reader" && pwd)
work="$build/tests/reader"
mkdir -p "$work/fuzz-corpus" "$work/fuzz-crashes"
fuzz() {
  "$build/bin/reader_fuzz" -max_len=16384 -timeout=10 -rss_limit_mb=2048 -use_value_profile=1 \
    -dict="$here/reader_fuzz.dict" -artifact_prefix="$work/fuzz-crashes/" "$@"
}
if [ -n "$check" ]; then
  # Every seed and every input that once broke the reader, then a short search from a
  # fixed seed and a fresh corpus: the same run finds the same inputs every time, so the
  # test command never fails on luck.
  fuzz -runs=0 "$here/fuzz-seeds" "$here/fuzz-regressions"
  fresh=$(mktemp -d)
  trap 'rm -rf "$fresh"' EXIT
  fuzz -seed=1 -runs="$limit" -print_final_stats=1 "$@" "$fresh" "$here/fuzz-seeds" \
    "$here/fuzz-regressions"
  exit
fi
fuzz -max_total_time="$limit" -print_final_stats=1 "$@" \
  "$work/fuzz-corpus" "$here/fuzz-seeds" "$here/fuzz-regressions"
