#!/bin/sh
# The pictures of the Linux window in docs/: the window (tarvello-qt.png), the message of a
# failed build (tarvello-qt-failure.png) and the caption during a build
# (tarvello-qt-building.png), on a virtual X display with openbox drawing the frames and
# title bars.
#
#   tools/screenshot-qt.sh [BIN]     BIN holds tarvello-qt-screenshot (build/release/bin)
set -eu
cd "$(dirname "$0")/.."
bin=${1:-build/release/bin}
sh tools/need-debs.sh xvfb xauth openbox
if [ ! -x "$bin/tarvello-qt-screenshot" ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release -j"${JOBS:-$(nproc)}" --target tarvello-qt-screenshot >/dev/null
fi
xvfb-run -a -s '-screen 0 1024x768x24' sh -c '
  openbox >/dev/null 2>&1 & wm=$!
  sleep 1
  "$1/tarvello-qt-screenshot" docs/tarvello-qt.png &&
    "$1/tarvello-qt-screenshot" --failure docs/tarvello-qt-failure.png &&
    "$1/tarvello-qt-screenshot" --building docs/tarvello-qt-building.png
  status=$?
  kill $wm
  exit $status' sh "$bin"
echo "wrote docs/tarvello-qt.png, docs/tarvello-qt-failure.png, docs/tarvello-qt-building.png"
