#!/bin/sh
# The surroundings of the Windows GUI tests, the window's and the reader's: a virtual X
# display and a Wine prefix of their own, apart from the unit tests' prefix.
#
#   gui.sh setup STATE                 starts Xvfb and readies the prefix STATE/prefix
#   gui.sh run STATE PROGRAM [ARGS]    runs a Windows program there, from STATE/work
#
# Both give the screen TARVELLO_DPI dots per inch (96 unless set); a run at another dpi
# than the one before it starts a new Wine session (wine_screen_dpi).
#
# The product is the 32-bit build. Some machines cannot run 32-bit code at all (a kernel
# without IA-32 emulation): there setup says so once, and run hands the programs the
# x86_64 build instead of a product folder .../win32/bin, so the same window code is
# still driven, compiled for the other architecture.
#   gui.sh cleanup STATE               ends the prefix's Wine processes and Xvfb
set -e
command="$1" state="$2"
shift 2
. "$(dirname "$0")/../../tools/wine-env.sh"
wine_prefix "$state/prefix"
# A home of its own, which Wine links the prefix's user folders to.
export HOME="$state/home"

# The product's folder PRODUCT, or the x86_64 build beside it where 32-bit code cannot run.
product() {
  if [ -e "$state/only64" ] && [ "${1%/win32/bin}" != "$1" ]; then
    echo "${1%/win32/bin}/win64/bin"
  else
    echo "$1"
  fi
}

# Ends what an earlier setup in this state folder started, if it still runs.
stop() {
  { "$wineserver" -k; "$wineserver" -w; } 2>/dev/null || true
  pid=$(cat "$state/xvfb.pid" 2>/dev/null) || return 0
  grep -qs Xvfb "/proc/$pid/cmdline" && kill "$pid"
  rm -f "$state/xvfb.pid" "$state/display"
}

case "$command" in
setup)
  wine_need_locale zh_CN.UTF-8 && wine_need_locale en_US.UTF-8
  mkdir -p "$HOME" "$state/work"
  stop
  # Xvfb takes the first free display and names it on fd 3 once it is ready. None of the
  # background programs may keep ctest's output open.
  Xvfb -screen 0 1024x768x24 -dpi 96 -nolisten tcp -displayfd 3 \
    3>"$state/display" </dev/null >"$state/xvfb.log" 2>&1 &
  echo $! >"$state/xvfb.pid"
  for i in $(seq 100); do [ -s "$state/display" ] || sleep 0.1; done
  [ -s "$state/display" ] || { echo "cannot start Xvfb:" >&2; cat "$state/xvfb.log" >&2; exit 1; }
  export DISPLAY=":$(cat "$state/display")"
  wine_make_prefix
  # Without a window manager Wine draws the frames and captions itself. A program that
  # crashes ends with its backtrace, rather than wait in the debugger's dialog.
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    </dev/null >/dev/null 2>&1
  wine_screen_dpi "${TARVELLO_DPI:-96}"
  rm -f "$state/only64"
  if ! wine_runs_32bit; then
    if [ -x /usr/lib/wine/wine ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
      touch "$state/only64"
      echo "This machine's kernel runs no 32-bit code: the GUI tests drive the x86_64 build of the product instead of the 32-bit one." >&2
    else
      echo "This machine cannot run 32-bit Windows programs, and the product is one: install Wine's 32-bit half (dpkg --add-architecture i386; apt-get install wine32:i386, or make deps-windows)." >&2
      exit 1
    fi
  fi
  # One server for the whole suite; cleanup ends it.
  wine_keep_server 300
  ;;
run)
  [ -s "$state/display" ] || { echo "no display: run setup first" >&2; exit 1; }
  export DISPLAY=":$(cat "$state/display")"
  wine_screen_dpi "${TARVELLO_DPI:-96}"
  # The session of this dpi kept for the runs after this one.
  wine_keep_server 300
  cd "$state/work"
  program="$1"
  shift
  if [ $# -gt 0 ]; then
    first=$(product "$1")
    shift
    set -- "$first" "$@"
  fi
  exec "$wine" "$program" "$@"
  ;;
cleanup) stop ;;
*) echo "usage: gui.sh setup|run|cleanup STATE [PROGRAM ARGS]" >&2 && exit 2 ;;
esac
