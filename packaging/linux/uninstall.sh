#!/bin/sh
# Takes Tarvello out of the current user's desktop menu again: what install.sh added there.
# This folder, its programs and the e-books in it stay as they are.
set -e
data=${XDG_DATA_HOME:-$HOME/.local/share}
rm -f "$data/applications/tarvello.desktop" \
      "$data/icons/hicolor/48x48/apps/tarvello.png" \
      "$data/icons/hicolor/256x256/apps/tarvello.png"
echo "已从桌面菜单中移除：PDF电子书制作软件"
