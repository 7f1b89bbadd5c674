#!/bin/sh
# The product's window (the 32-bit build) under Wine on a virtual display, driven from
# outside by win32_window_bench; figures in bench/README.md.
#   bench/win32-window.sh [long-list|freeze]   both unless told
# WIN64_BUILD (build/win64) builds the driver, WIN32_BIN (build/win32/bin) holds the product;
# BENCH_RUNS builds for freeze (5). The freeze needs about 2 GB free in WIN64_BUILD.
set -e
cd "$(dirname "$0")/.."
case "${1:-}" in
long-list) filter=Bench.LongList ;;
freeze) filter=Bench.Freeze ;;
*) filter='*' ;;
esac
cmake --build "${WIN64_BUILD:-build/win64}" --target win32_window_bench >/dev/null
build=$(cd "${WIN64_BUILD:-build/win64}" && pwd)
product=$(cd "${WIN32_BIN:-build/win32/bin}" && pwd)
gui="$PWD/tests/wine/gui.sh"
state="$build/gui-bench"
sh "$gui" setup "$state" "$product"
trap 'sh "$gui" cleanup "$state"' EXIT
BENCH_RUNS="${BENCH_RUNS:-5}" sh "$gui" run "$state" "$build/bin/win32_window_bench.exe" \
  "$product" "$state/work" --gtest_filter="$filter"
