#!/bin/sh
# Closes the real Linux window in the middle of a build, as a user would, and checks what
# is left: the window builds a 2 GB e-book from sparse PDFs in a folder of its own, is
# given its book name and folder through its own controls and folder dialog (typed keys
# and clicks on a virtual X display), and gets the window system's close while the caption
# shows the build's progress. Afterwards the folder must hold what it held before (no
# working file 书名.txt, no index clcboosk.txt, no e-book) and the process must have ended
# by itself, with status 0, long before the build would have.
#
#   tools/qt-close-mid-build.sh [BIN]     BIN holds tarvello-qt and books.ini (build/release/bin)
#
# Needs xvfb-run and Debian's python3-xlib.
set -eu
cd "$(dirname "$0")/.."
bin=${1:-build/release/bin}
[ -x "$bin/tarvello-qt" ] || { echo "no $bin/tarvello-qt: cmake --build --preset release" >&2; exit 1; }
/usr/bin/python3 -c 'import Xlib' 2>/dev/null || { echo "needs python3-xlib" >&2; exit 1; }

work=$(mktemp -d /tmp/tarvello-close-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/app" "$work/pdfs"
cp "$bin/tarvello-qt" "$bin/books.ini" "$work/app/"
for i in 01 02 03 04 05 06 07 08 09 10; do
  printf '%%PDF-1.4\n' >"$work/pdfs/part$i.pdf"
  truncate -s 200000000 "$work/pdfs/part$i.pdf"
done
before=$(ls -A "$work/app" | tr "\n" " ")

xvfb-run -a -s '-screen 0 1024x768x24' sh -c '
  XDG_CONFIG_HOME="$1/config" "$1/app/tarvello-qt" & program=$!  # remembers nothing of a real home
  /usr/bin/python3 tools/qt_close_driver.py "$1/pdfs" "$1/app/big.txt" || { kill $program; exit 1; }
  started=$(date +%s%N)
  wait $program; status=$?
  echo "the window ended with status $status, $(( ($(date +%s%N) - started) / 1000000 )) ms after the close"
  exit $status' sh "$work"

after=$(ls -A "$work/app" | tr "\n" " ")
if [ "$after" != "$before" ]; then
  echo "FAILED: the folder held [$before] before and holds [$after] now" >&2
  exit 1
fi
echo "the folder holds what it held before: $after"
