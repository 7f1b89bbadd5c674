#!/bin/sh
# How long the Linux window's event loop goes without answering while it builds a 2 GB
# e-book: RUNS builds on the real window (the build on its worker thread), then one with
# the build on the window's thread for comparison, timed by qt_freeze_bench.
#
#   bench/qt-freeze.sh [RUNS [MEGABYTES]]      5 runs of 2000 MB unless told
#
# The release build (build/release), on a virtual X display of its own (xvfb-run), so the
# window takes the X events a desktop would give it. Needs about 2 GB free in BENCH_DIR
# (default build/bench-work-qt): the PDFs are sparse, the e-book is not.
set -eu

runs=${1:-5}
megabytes=${2:-2000}
command -v xvfb-run >/dev/null || { echo "needs xvfb-run (apt-get install xvfb xauth)" >&2; exit 1; }
. "$(dirname "$0")/prologue.sh"
bench_build qt_freeze_bench
bench_work build/bench-work-qt

run() {
  TMPDIR="$work" xvfb-run -a -s '-screen 0 1024x768x24' "$bin/qt_freeze_bench" "$@"
}
run "$megabytes" "$runs"
run --inline "$megabytes" 1
