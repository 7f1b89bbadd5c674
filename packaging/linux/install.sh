#!/bin/sh
# Puts Tarvello into the current user's desktop menu, pointing at this folder.
set -e
here=$(cd "$(dirname "$0")" && pwd)
data=${XDG_DATA_HOME:-$HOME/.local/share}
mkdir -p "$data/applications"
for size in 48 256; do
  mkdir -p "$data/icons/hicolor/${size}x${size}/apps"
  cp "$here/share/icons/hicolor/${size}x${size}/apps/tarvello.png" \
     "$data/icons/hicolor/${size}x${size}/apps/tarvello.png"
done
# The window writes its e-books beside itself, so the menu starts this very copy.
sed "s|^Exec=.*|Exec=\"$here/tarvello-qt\"|" "$here/share/applications/tarvello.desktop" \
  >"$data/applications/tarvello.desktop"
echo "已加入桌面菜单：PDF电子书制作软件"
