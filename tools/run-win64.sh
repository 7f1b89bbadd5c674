#!/bin/sh
# Starts the x86_64 Windows build of Tarvello.exe under wine64, in a Wine prefix of its
# own, with the Simplified Chinese code page the program is made for.
set -e
bin="${1:-build/win64/bin}"
prefix="${TARVELLO_WINEPREFIX:-$(pwd)/build/win64/user-prefix}"

if [ -z "$DISPLAY" ]; then
  echo "No display: Tarvello.exe is a window. Run it on a desktop, or under a virtual one:" >&2
  echo "  xvfb-run -a make run-windows" >&2
  echo "To make e-books without a window, use build/linux/bin/tarvello-cli pack." >&2
  exit 1
fi
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  echo "The zh_CN.UTF-8 locale is missing: run 'make locale' (as root) first." >&2
  exit 1
fi

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=zh_CN.UTF-8
wine=/usr/lib/wine/wine64
if [ ! -f "$prefix/user.reg" ]; then
  echo "Making a Wine prefix in $prefix (once)..."
  mkdir -p "$prefix"
  "$wine" wineboot -i </dev/null >/dev/null 2>&1
  # Dialogs ask for the Chinese system face by both its names.
  reg="$prefix/tarvello.reg"
  printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
    '"SimSun"="WenQuanYi Micro Hei"' '"宋体"="WenQuanYi Micro Hei"' |
    iconv -f UTF-8 -t UTF-16 >"$reg"
  "$wine" regedit "$reg" </dev/null >/dev/null 2>&1
fi
cd "$bin"
echo "Tarvello.exe writes its e-books into $(pwd)"
exec "$wine" ./Tarvello.exe
