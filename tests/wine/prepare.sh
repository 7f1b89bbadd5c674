#!/bin/sh
# Makes the Wine prefix the Windows tests run in, once, and keeps one wineserver alive
# for the whole run so each test program starts in a tenth of a second.
set -e
prefix="$1"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine takes file names to and from the system in the locale's character set: without a
# UTF-8 locale (CI may start with none) no Chinese file name can be made.
export LC_ALL=C.UTF-8
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=wineserver
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
  # The registry is written when the server ends: wait for that, so a half-made prefix
  # is never taken for a finished one.
  "$server" -w </dev/null >/dev/null 2>&1
fi
# "-p120", in one word: a bare "-p" keeps the server forever. Neither the server nor
# Wine's own background programs (services, devices) may hold ctest's output open, or
# ctest waits until they end: start them here, writing nowhere, before any test does.
# It refuses to start a second time while one still runs from an earlier run: fine.
"$server" -p120 </dev/null >/dev/null 2>&1 || true
/usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1
