#!/bin/sh
# The surroundings of the Windows GUI tests (the window's and the reader's): a virtual X
# display and a Wine prefix of their own, apart from the prefix of the other Windows tests.
#
#   gui.sh setup STATE                 starts Xvfb and readies the prefix STATE/prefix
#   gui.sh run STATE PROGRAM [ARGS]    runs a Windows program there, in STATE/work
#   gui.sh cleanup STATE               ends the prefix's Wine processes and Xvfb
set -e
command="$1"
state="$2"
shift 2

wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=wineserver

# A home of its own: Wine links the prefix's desktop folder to it, and the tests put
# folders there for the folder browser.
export WINEPREFIX="$state/prefix" HOME="$state/home" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
# The system the program is made for: Simplified Chinese, ANSI code page 936.
export LC_ALL=zh_CN.UTF-8

alive() { [ -n "$1" ] && kill -0 "$1" 2>/dev/null; }

# Ends the X server that an earlier setup in this state folder started, if it still runs.
stop_xvfb() {
  [ -f "$state/xvfb.pid" ] || return 0
  pid=$(cat "$state/xvfb.pid")
  if alive "$pid" && grep -q Xvfb "/proc/$pid/cmdline" 2>/dev/null; then
    kill "$pid"
    i=0
    while alive "$pid" && [ $i -lt 50 ]; do
      sleep 0.1
      i=$((i + 1))
    done
  fi
  rm -f "$state/xvfb.pid" "$state/display"
}

case "$command" in
setup)
  if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; then
    echo "the zh_CN.UTF-8 locale is missing: run tools/need-locale.sh zh_CN.UTF-8" >&2
    exit 1
  fi
  mkdir -p "$state/home/Desktop" "$state/work"
  # Whatever an interrupted run left in the prefix goes first.
  if [ -f "$WINEPREFIX/.tarvello-gui" ]; then
    "$server" -k 2>/dev/null || true
    "$server" -w 2>/dev/null || true
  fi
  stop_xvfb
  # Display :73 unless something else holds it. Xvfb names its display on fd 3 once it
  # is ready. None of the background programs may keep ctest's output open.
  pid=""
  for n in 73 74 75 76 77 78 79 80 81 82; do
    rm -f "$state/display"
    Xvfb ":$n" -screen 0 1024x768x24 -dpi 96 -nolisten tcp -displayfd 3 \
      3>"$state/display" </dev/null >"$state/xvfb.log" 2>&1 &
    pid=$!
    i=0
    while alive "$pid" && [ ! -s "$state/display" ] && [ $i -lt 100 ]; do
      sleep 0.1
      i=$((i + 1))
    done
    if alive "$pid" && [ -s "$state/display" ]; then break; fi
    kill "$pid" 2>/dev/null || true
    pid=""
  done
  if [ -z "$pid" ]; then
    echo "cannot start Xvfb:" >&2
    cat "$state/xvfb.log" >&2
    exit 1
  fi
  echo "$pid" >"$state/xvfb.pid"
  DISPLAY=":$(cat "$state/display")"
  export DISPLAY

  if [ ! -f "$WINEPREFIX/.tarvello-gui" ]; then
    rm -rf "$WINEPREFIX"
    "$wine" wineboot -i </dev/null >/dev/null 2>&1
    reg() { "$wine" reg add "$@" /f </dev/null >/dev/null 2>&1; }
    # Without a window manager Wine draws the frames and captions itself.
    reg 'HKCU\Software\Wine\X11 Driver' /v Managed /d N
    # The dialogs ask for the Song face by both its names; this face draws Chinese.
    reg 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /d 'WenQuanYi Micro Hei'
    reg 'HKCU\Software\Wine\Fonts\Replacements' /v '宋体' /d 'WenQuanYi Micro Hei'
    # The registry is written when the server ends: wait for that before marking the
    # prefix as made.
    "$server" -w
    touch "$WINEPREFIX/.tarvello-gui"
  fi
  # A drive of the tests' own, T:, whose root the folder browser can choose. Its label
  # files spare Wine from probing a disk device for them.
  mkdir -p "$state/drive-t"
  echo TESTS >"$state/drive-t/.windows-label"
  echo 7a7e110 >"$state/drive-t/.windows-serial"
  ln -sfn "$state/drive-t" "$WINEPREFIX/dosdevices/t:"
  # One server for the whole suite ("-p300" in one word; cleanup ends it), and Wine's
  # own background programs started now rather than inside the first test.
  "$server" -p300 </dev/null >/dev/null 2>&1 || true
  "$wine" wineboot </dev/null >/dev/null 2>&1
  ;;
run)
  [ -s "$state/display" ] || { echo "no display: run setup first" >&2; exit 1; }
  DISPLAY=":$(cat "$state/display")"
  export DISPLAY
  mkdir -p "$state/work"
  cd "$state/work"
  exec "$wine" "$@"
  ;;
cleanup)
  "$server" -k 2>/dev/null || true
  "$server" -w 2>/dev/null || true
  stop_xvfb
  ;;
*)
  echo "usage: gui.sh setup|run|cleanup STATE [PROGRAM ARGS]" >&2
  exit 2
  ;;
esac
