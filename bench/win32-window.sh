#!/bin/sh
# The Windows window (x86_64 build) with a list of 20,000 titles, under wine64 on a
# virtual display: adding the folder through the real folder browser, then moving,
# deleting and clearing at the end of the list. Figures in bench/README.md.
#   bench/win32-window.sh [BUILD_DIR]     (default build/win64)
set -e
cd "$(dirname "$0")/.."
build=${1:-build/win64}
cmake --build "$build" --target gui_driver >/dev/null
build=$(cd "$build" && pwd)
gui="$PWD/tests/wine/gui.sh"
state="$build/gui-bench"
sh "$gui" setup "$state"
trap 'sh "$gui" cleanup "$state"' EXIT
sh "$gui" run "$state" "$build/bin/gui_driver.exe" --exe="$build/bin/Tarvello.exe" \
  --work="$state/work" --gtest_also_run_disabled_tests --gtest_filter='DISABLED_Bench.*'
