#!/bin/sh
# Starts the x86_64 Windows build of Tarvello.exe under wine64, in a Wine prefix of its
# own, with the Simplified Chinese code page it is made for (TARVELLO_LOCALE picks
# another, see tools/wine-env.sh).
set -e
bin="${1:-build/win64/bin}"
. "$(dirname "$0")/wine-env.sh"

if [ -z "$DISPLAY" ]; then
  echo "No display: Tarvello.exe is a window. Run it on a desktop, or under a virtual one:" >&2
  echo "  xvfb-run -a make run-windows" >&2
  echo "To make e-books without a window, use build/linux/bin/tarvello-cli pack." >&2
  exit 1
fi
wine_need_locale
wine_prefix "${TARVELLO_WINEPREFIX:-$(pwd)/build/win64/user-prefix}"
if [ ! -f "$WINEPREFIX/.tarvello" ]; then
  echo "Making a Wine prefix in $WINEPREFIX (once)..."
  wine_make_prefix
fi
cd "$bin"
echo "Tarvello.exe writes its e-books into $(pwd)"
exec "$wine" ./Tarvello.exe
