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
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
command -v xvfb-run >/dev/null || { echo "needs xvfb-run (apt-get install xvfb xauth)" >&2; exit 1; }

echo "building qt_freeze_bench (release) ..."
cmake --preset release > /dev/null
cmake --build --preset release -j2 --target qt_freeze_bench > /dev/null

work=${BENCH_DIR:-$root/build/bench-work-qt}
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

run() {
  TMPDIR="$work" xvfb-run -a -s '-screen 0 1024x768x24' build/release/bin/qt_freeze_bench "$@"
}
run "$megabytes" "$runs"
run --inline "$megabytes" 1
