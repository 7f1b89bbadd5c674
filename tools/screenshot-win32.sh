#!/bin/sh
# A picture of the Windows window: the x86_64 Tarvello.exe under Xvfb, in the prefix of the
# window's tests, with a book name and three titles added through the real open-file
# dialog. Needs ImageMagick's `import`.
#
#   tools/screenshot-win32.sh [BUILD_DIR [OUTPUT]]
#
# BUILD_DIR is a configured win64 build (default build/win64); OUTPUT defaults to
# docs/tarvello-win32.png.
set -e
cd "$(dirname "$0")/.."
build=${1:-build/win64}
out=${2:-docs/tarvello-win32.png}
command -v import >/dev/null || { echo "needs ImageMagick (apt-get install imagemagick)" >&2; exit 1; }

cmake --build "$build" --target gui_driver >/dev/null
build=$(cd "$build" && pwd)
gui="$PWD/tests/wine/gui.sh"
state="$build/gui"
sh "$gui" setup "$state"
trap 'sh "$gui" cleanup "$state"' EXIT

work="$state/work"
rm -f "$work/screenshot-rect.txt" "$work/screenshot-done"
sh "$gui" run "$state" "$build/bin/gui_driver.exe" screenshot \
  --exe="$build/bin/Tarvello.exe" --work="$work" &
driver=$!
i=0
while [ ! -s "$work/screenshot-rect.txt" ]; do
  if ! kill -0 "$driver" 2>/dev/null || [ $i -ge 600 ]; then
    echo "the window did not get ready" >&2
    exit 1
  fi
  sleep 0.1
  i=$((i + 1))
done
read -r left top width height <"$work/screenshot-rect.txt"
mkdir -p "$(dirname "$out")"
DISPLAY=":$(cat "$state/display")" import -window root \
  -crop "${width}x${height}+${left}+${top}" +repage "$out"
touch "$work/screenshot-done"
wait "$driver"
echo "wrote $out (${width}x${height})"
