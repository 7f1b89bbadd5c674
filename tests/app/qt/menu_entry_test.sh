#!/bin/sh
# install.sh and uninstall.sh in a folder whose path needs every escape a menu entry has:
# the entry must pass desktop-file-validate and start that very folder's program when
# GLib's launcher reads it, and uninstall.sh must take it away again.
#   menu_entry_test.sh SOURCE_DIR
set -eu
src=$1
command -v desktop-file-validate >/dev/null && command -v gio >/dev/null || exit 77
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dir="$tmp/a & b \"c\" 100% \$HOME \`id\` 'd' \\e"
apps="$dir/share/applications"
mkdir -p "$apps" "$dir/share/icons/hicolor/48x48/apps" "$dir/share/icons/hicolor/256x256/apps"
cp "$src/packaging/linux/install.sh" "$src/packaging/linux/uninstall.sh" "$dir/"
cp "$src/src/app/qt/tarvello.desktop" "$apps/"
for size in 48 256; do
  cp "$src/assets/tarvello-$size.png" "$dir/share/icons/hicolor/${size}x$size/apps/tarvello.png"
done
# A stand-in for the window that writes down the name it was started by.
printf '#!/bin/sh\nprintf "%%s" "$0" >%s/started\n' "$tmp" >"$dir/tarvello-qt"
chmod +x "$dir/tarvello-qt"

export XDG_DATA_HOME="$tmp/data"
sh "$dir/install.sh" >/dev/null
entry="$XDG_DATA_HOME/applications/tarvello.desktop"
desktop-file-validate "$entry"
gio launch "$entry"
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -s "$tmp/started" ] && break || sleep 0.5; done
[ "$(cat "$tmp/started")" = "$dir/tarvello-qt" ] || { grep Exec "$entry"; exit 1; }
sh "$dir/uninstall.sh" >/dev/null
[ ! -e "$entry" ] && [ ! -e "$XDG_DATA_HOME/icons/hicolor/48x48/apps/tarvello.png" ]
