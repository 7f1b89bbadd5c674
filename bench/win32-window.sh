#!/bin/sh
# The product's window (the 32-bit build) with a list of 20,000 titles, under Wine on a
# virtual display: adding the folder through the real folder browser, then moving,
# deleting and clearing at the end of the list. Figures in bench/README.md.
#   bench/win32-window.sh [WIN64_BUILD [WIN32_BIN]]   (build/win64, build/win32/bin)
set -e
cd "$(dirname "$0")/.."
cmake --build "${1:-build/win64}" --target win32_window_bench >/dev/null
build=$(cd "${1:-build/win64}" && pwd)
product=$(cd "${2:-build/win32/bin}" && pwd)
gui="$PWD/tests/wine/gui.sh"
state="$build/gui-bench"
sh "$gui" setup "$state"
trap 'sh "$gui" cleanup "$state"' EXIT
sh "$gui" run "$state" "$build/bin/win32_window_bench.exe" --product="$product" --work="$state/work"
