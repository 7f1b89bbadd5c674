#!/bin/sh
# Runs the reader window's tests under wine64 on a virtual display, both of their own:
#   window.sh STATE DRIVER [gtest options...]
# STATE holds the Wine prefix (made once, kept), a home folder and the X server's log.
# Everything started here is ended here.
set -e
mkdir -p "$1"
state=$(cd "$1" && pwd)  # Wine wants an absolute prefix
driver="$2"
shift 2

wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=wineserver
export WINEPREFIX="$state/prefix" HOME="$state/home" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
# The system the reader is made for: Simplified Chinese, code page 936.
export LC_ALL=zh_CN.UTF-8
if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; then
  echo "the zh_CN.UTF-8 locale is missing: run tools/need-locale.sh zh_CN.UTF-8" >&2
  exit 1
fi
mkdir -p "$state/home"

# Display :71, or the next free one. Xvfb names its display on fd 3 once it is ready;
# it must not hold ctest's output open.
xvfb=""
for n in 71 72 91 92 93 94 95 96 97 98; do
  rm -f "$state/display"
  Xvfb ":$n" -screen 0 1024x768x24 -dpi 96 -nolisten tcp -displayfd 3 \
    3>"$state/display" </dev/null >"$state/xvfb.log" 2>&1 &
  xvfb=$!
  i=0
  while kill -0 "$xvfb" 2>/dev/null && [ ! -s "$state/display" ] && [ $i -lt 100 ]; do
    sleep 0.1
    i=$((i + 1))
  done
  if kill -0 "$xvfb" 2>/dev/null && [ -s "$state/display" ]; then break; fi
  kill "$xvfb" 2>/dev/null || true
  xvfb=""
done
if [ -z "$xvfb" ]; then
  echo "cannot start Xvfb:" >&2
  cat "$state/xvfb.log" >&2
  exit 1
fi
DISPLAY=":$(cat "$state/display")"
export DISPLAY
trap '"$server" -k 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true' EXIT

if [ ! -f "$WINEPREFIX/.tarvello-reader" ]; then
  rm -rf "$WINEPREFIX"
  "$wine" wineboot -i </dev/null >/dev/null 2>&1
  reg() { "$wine" reg add "$@" /f </dev/null >/dev/null 2>&1; }
  # No window manager here: Wine draws the frames itself.
  reg 'HKCU\Software\Wine\X11 Driver' /v Managed /d N
  # The dialogs ask for the Song face; this one draws Chinese.
  reg 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /d 'WenQuanYi Micro Hei'
  reg 'HKCU\Software\Wine\Fonts\Replacements' /v '宋体' /d 'WenQuanYi Micro Hei'
  # The registry reaches the disk when the server ends.
  "$server" -w
  touch "$WINEPREFIX/.tarvello-reader"
fi
# One server for the whole run, and Wine's background programs started before the tests.
"$server" -p60 </dev/null >/dev/null 2>&1 || true
"$wine" wineboot </dev/null >/dev/null 2>&1
"$wine" "$driver" "$@"
