#!/bin/sh
# Starts the Linux window, tarvello-qt, from a build folder (build/linux/bin unless one is
# named). Without a display it says how to run the window under a virtual one, or how to
# pack with the command-line tool instead.
bin="${1:-build/linux/bin}"
program="$bin/tarvello-qt"
if [ ! -x "$program" ]; then
  echo "$program is not built yet: make linux (or: cmake --build --preset linux --target tarvello-qt)" >&2
  exit 1
fi
if [ -z "$DISPLAY" ] && [ -z "$WAYLAND_DISPLAY" ]; then
  cat >&2 <<MSG
No display: neither DISPLAY nor WAYLAND_DISPLAY is set, so the window cannot be shown here.

Run it on a virtual X display (Debian packages xvfb and xauth; nothing will be seen, but
the window starts and runs):
  xvfb-run -a -s '-screen 0 1024x768x24' $program

Or pack PDFs without the window, with the command-line tool:
  $bin/tarvello-cli pack --name 书名 --out-dir DIR PDF-or-folder...
  make demo     # packs the sample PDFs into an e-book, then lists and checks it
MSG
  exit 1
fi
# The window's books.ini lies beside it, in $bin; its e-books are written there too.
echo "Starting $program (e-books are written to $bin)"
exec "$program"
