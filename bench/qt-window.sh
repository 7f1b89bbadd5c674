#!/bin/sh
# How the Linux window copes with long lists: a dropped folder of 20,000 PDFs (the command
# and the list's refresh), moving and deleting at the end of that list, and building an
# e-book from 1,000 PDFs, on the real window, timed by qt_window_bench.
#
#   bench/qt-window.sh [ROUNDS]      ROUNDS defaults to 5
#
# The release build (build/release); the window runs on Qt's offscreen platform, so no
# display is needed. BENCH_DIR chooses the scratch folder (default build/bench-work-qt, on
# the same disk as the build).
set -eu

rounds=${1:-5}
. "$(dirname "$0")/prologue.sh"
bench_build qt_window_bench
bench_work build/bench-work-qt

TMPDIR="$work" QT_QPA_PLATFORM=offscreen "$bin/qt_window_bench" 20000 1000 "$rounds"
