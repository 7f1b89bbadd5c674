#!/bin/sh
# The pictures of a Linux e-book double-clicked in a file manager (docs/): what the file
# manager asks (reader-linux-double-click.png), then the book in the terminal it started
# itself in, asking which file to read (reader-linux.png). On a virtual X display with
# openbox, PCManFM as the file manager and xterm as the desktop's terminal, in Chinese.
#
#   tools/screenshot-reader-linux.sh [BIN]   BIN holds tarvello-cli and books.ini
#                                            (build/release/bin)
set -eu
cd "$(dirname "$0")/.."
bin=${1:-build/release/bin}
sh tools/need-debs.sh xvfb xauth openbox xterm xdotool pcmanfm x11-xserver-utils imagemagick \
  fonts-wqy-microhei
sh tools/need-locale.sh zh_CN.UTF-8
if [ ! -x "$bin/tarvello-cli" ] || [ ! -f "$bin/books.ini" ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release -j"${JOBS:-$(nproc)}" --target tarvello-cli tarvello_reader \
    >/dev/null
fi
shelf=$(mktemp -d)/书架
mkdir -p "$shelf"
trap 'rm -rf "$(dirname "$shelf")"' EXIT
"$bin/tarvello-cli" pack --name 示例电子书 --out-dir "$shelf" samples >/dev/null
# A terminal that draws Chinese, as a Chinese desktop's does.
for class in XTerm UXTerm; do
  printf '%s*VT100.faceName: WenQuanYi Micro Hei Mono\n%s*VT100.faceSize: 11\n%s*VT100.geometry: 64x10+150+170\n' "$class" "$class" "$class"
done >"$(dirname "$shelf")/resources"
LC_ALL=zh_CN.UTF-8 xvfb-run -a -s '-screen 0 800x500x24' sh -c '
  openbox >/dev/null 2>&1 & wm=$!
  sleep 1
  # After the first client: the server forgets its resources when its last one leaves.
  xrdb -nocpp -merge "$2"
  pcmanfm --no-desktop "$1" >/dev/null 2>&1 & fm=$!
  window=$(timeout 20 xdotool search --sync --class pcmanfm | head -n 1)
  xdotool windowmove --sync "$window" 0 0 windowsize --sync "$window" 640 420
  sleep 1
  # The book is the only icon: the first in the view.
  xdotool mousemove 208 118 click --repeat 2 --delay 80 1
  sleep 2
  import -window root docs/reader-linux-double-click.png
  xdotool key Return
  timeout 20 xdotool search --sync --classname xterm >/dev/null
  sleep 1
  import -window root docs/reader-linux.png
  xdotool key Return
  kill $fm $wm' sh "$shelf" "$(dirname "$shelf")/resources"
echo "wrote docs/reader-linux-double-click.png, docs/reader-linux.png"
