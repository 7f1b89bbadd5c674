#!/bin/sh
# Pictures of the product's windows for docs/: the 32-bit Tarvello.exe, and an e-book
# opened by its reader, each at 96 and 144 dpi, and the window building, under Wine on a
# virtual display in the prefix of the GUI tests. Needs ImageMagick's `import`, the win32
# build, and a configured win64 build for the program that sets the scene.
#
#   tools/screenshot-win32.sh [SCENE...]   every scene unless told: window_96dpi,
#                                          window_144dpi, reader_96dpi, reader_144dpi, building
# WIN64_BUILD (build/win64) builds the scene setter, WIN32_BIN (build/win32/bin) holds the
# product.
set -e
cd "$(dirname "$0")/.."
command -v import >/dev/null || { echo "needs ImageMagick (apt-get install imagemagick)" >&2; exit 1; }
cmake --build "${WIN64_BUILD:-build/win64}" --target win32_screenshot >/dev/null
build=$(cd "${WIN64_BUILD:-build/win64}" && pwd)
product=$(cd "${WIN32_BIN:-build/win32/bin}" && pwd)
gui="$PWD/tests/wine/gui.sh"
state="$build/gui"
work="$state/work"
sh "$gui" setup "$state" "$product"
trap 'sh "$gui" cleanup "$state"' EXIT

# shoot OUTPUT SCENE [DPI]: the scene that win32_screenshot sets on a screen of DPI (96), cut
# to its window.
shoot() {
  out="$1"
  rm -f "$work/screenshot-rect.txt" "$work/screenshot-done"
  TARVELLO_DPI="${3:-96}" sh "$gui" run "$state" "$build/bin/win32_screenshot.exe" "$product" "$work" \
    --gtest_filter="*/$2" >"$work/screenshot.log" 2>&1 &
  driver=$!
  i=0
  while [ ! -s "$work/screenshot-rect.txt" ]; do
    if ! kill -0 "$driver" 2>/dev/null || [ $i -ge 600 ]; then
      echo "the window did not get ready for $out:" >&2
      cat "$work/screenshot.log" >&2
      exit 1
    fi
    sleep 0.1
    i=$((i + 1))
  done
  read -r left top width height <"$work/screenshot-rect.txt"
  DISPLAY=":$(cat "$state/display")" import -window root \
    -crop "${width}x${height}+${left}+${top}" +repage "$out"
  touch "$work/screenshot-done"
  wait "$driver"
  echo "wrote $out (${width}x${height})"
}

for scene in ${*:-window_96dpi window_144dpi reader_96dpi reader_144dpi building}; do
  case "$scene" in
  window_96dpi) shoot docs/tarvello-win32.png window_96dpi ;;
  window_144dpi) shoot docs/tarvello-win32-144dpi.png window_144dpi 144 ;;
  reader_96dpi) shoot docs/reader-win32.png reader_96dpi ;;
  reader_144dpi) shoot docs/reader-win32-144dpi.png reader_144dpi 144 ;;
  building) shoot docs/tarvello-win32-building.png window_building ;;
  *) echo "no scene $scene" >&2 && exit 2 ;;
  esac
done
