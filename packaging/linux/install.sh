#!/bin/sh
# Puts Tarvello into the current user's desktop menu, pointing at this folder.
set -e
here=$(cd "$(dirname "$0")" && pwd)
data=${XDG_DATA_HOME:-$HOME/.local/share}
case "$here" in
  *'
'*)
    echo "本文件夹的路径含有换行，菜单无法启动其中的程序；请换一个文件夹。" >&2
    exit 1 ;;
esac

# The Exec line by the Desktop Entry rules: the path in double quotes, in which " ` $ and \
# take a backslash; then, as in every string value, each backslash is doubled; and a %
# is written %%.
program=$(printf '%s\n' "$here/tarvello-qt" |
  sed -e 's/[\\"`$]/\\&/g' -e 's/\\/\\\\/g' -e 's/%/%%/g')
exec_line="\"$program\""
case "$here" in
  *%*)
    # GLib looks for the program before it turns %% back into %, finds none, and leaves
    # the entry out of the menu; it finds a shell, which is handed the path with its %.
    exec_line='sh -c "exec \\"\\$0\\"" '"$exec_line" ;;
esac

mkdir -p "$data/applications"
for size in 48 256; do
  mkdir -p "$data/icons/hicolor/${size}x${size}/apps"
  cp "$here/share/icons/hicolor/${size}x${size}/apps/tarvello.png" \
     "$data/icons/hicolor/${size}x${size}/apps/tarvello.png"
done
# The window writes its e-books beside itself, so the menu starts this very copy. The line
# goes in through the environment: awk and sed would read backslashes in it themselves.
EXEC="$exec_line" awk '/^Exec=/ { print "Exec=" ENVIRON["EXEC"]; next } { print }' \
  "$here/share/applications/tarvello.desktop" >"$data/applications/tarvello.desktop"
echo "已加入桌面菜单：PDF电子书制作软件（卸载：$here/uninstall.sh）"
