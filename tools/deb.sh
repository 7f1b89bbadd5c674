#!/bin/sh
# Writes the Debian package OUT_DIR/tarvello_VERSION-1_amd64.deb from the Linux download's
# folder as tools/dist.sh lays it out (the same stripped programs and readers):
#   /usr/bin             tarvello-qt and tarvello-cli, and nothing else
#   /usr/lib/tarvello    books.ini (the Linux reader) and books-windows.ini, where both
#                        programs look for their readers once installed
#   /usr/share           the menu entry, the icons, the manual pages, the AppStream
#                        metadata, the copyright and the changelog (from packaging/deb)
#
#   tools/deb.sh LINUX_FOLDER VERSION OUT_DIR
#
# The same commit gives the same bytes: every entry carries SOURCE_DATE_EPOCH (the
# commit's time, from tools/dist.sh), fixed modes and root as its owner, in the order of
# its name, and gzip writes no name and no time. Needs dpkg-deb and perl.
set -eu
from=$1
version=$2
out=$3
here=$(cd "$(dirname "$0")/.." && pwd)
src="$here/packaging/deb"
: "${SOURCE_DATE_EPOCH:?tools/deb.sh needs SOURCE_DATE_EPOCH}"
export SOURCE_DATE_EPOCH
day=$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%d)
package="tarvello_$version-1_amd64.deb"

# The changelog's newest entry names the version being packaged, or the package would
# say one thing and its changelog another.
top=$(sed -n '1s/^tarvello (\([^)]*\)).*/\1/p' "$src/changelog")
if [ "$top" != "$version-1" ]; then
  echo "packaging/deb/changelog starts with version '$top'; add an entry for $version-1" >&2
  exit 1
fi

root="$out/stage/deb"
rm -rf "$root"
mkdir -p "$root/DEBIAN" "$root/usr/bin" "$root/usr/lib/tarvello" "$root/usr/share/metainfo" \
  "$root/usr/share/man/man1" "$root/usr/share/doc/tarvello" "$root/usr/share/lintian/overrides"

cp "$from/tarvello-qt" "$from/tarvello-cli" "$root/usr/bin/"
# The readers are read, never run, from here: a book is made executable when it is
# written.
cp "$from/books.ini" "$from/books-windows.ini" "$root/usr/lib/tarvello/"
cp -R "$from/share/applications" "$from/share/icons" "$root/usr/share/"

fill() {
  sed -e "s/@VERSION@/$version/g" -e "s/@DATE@/$day/g" "$1"
}

# groff breaks lines only at spaces, and Chinese has none: a break point (\:) goes between
# two Chinese characters or full-width signs, except before closing punctuation and after
# opening punctuation, so no line starts with "，" or ends with "（", and "书名.run" stays
# whole. Headings and the NAME line stay as written, for whatis and apropos.
cjk_breaks() {
  perl -CSD -pe '
    if (/^\.SH\s+\x{540D}\x{79F0}/) { $name = 1; next }
    if ($name && !/^\./) { $name = 0; next }
    next if /^\.(\\"|TH|SH|SS)/;
    s/([\x{3000}-\x{303F}\x{3400}-\x{9FFF}\x{FF00}-\x{FFEF}])(?=[\x{3000}-\x{303F}\x{3400}-\x{9FFF}\x{FF00}-\x{FFEF}])(?![\x{3001}\x{3002}\x{300D}\x{300F}\x{3011}\x{FF01}\x{FF09}\x{FF0C}\x{FF1A}\x{FF1B}\x{FF1F}])/$1\\:/g;
    s/([\x{3008}\x{300A}\x{300C}\x{300E}\x{3010}\x{FF08}])\\:/$1/g;'
}

for page in tarvello-qt tarvello-cli; do
  fill "$src/$page.1" | cjk_breaks | gzip -n -9 >"$root/usr/share/man/man1/$page.1.gz"
done
fill "$src/test.tarvello.tarvello.metainfo.xml" \
  >"$root/usr/share/metainfo/test.tarvello.tarvello.metainfo.xml"
cp "$src/copyright" "$root/usr/share/doc/tarvello/copyright"
gzip -n -9 <"$src/changelog" >"$root/usr/share/doc/tarvello/changelog.Debian.gz"
cp "$src/lintian-overrides" "$root/usr/share/lintian/overrides/tarvello"

# Modes that do not depend on the umask: programs 755, everything else 644.
find "$root" -type d -exec chmod 755 {} +
find "$root" -type f -exec chmod 644 {} +
chmod 755 "$root/usr/bin/"*

# Installed-Size as dpkg-gencontrol counts it: each file in whole KiB, each folder one.
size=$(find "$root/usr" \( -type f -printf '%s\n' \) -o \( -type d -printf '1024\n' \) |
  awk '{ kib += int(($1 + 1023) / 1024) } END { print kib }')
fill "$src/control" | sed "s/@SIZE@/$size/" >"$root/DEBIAN/control"
(cd "$root" && find usr -type f | LC_ALL=C sort | xargs md5sum) >"$root/DEBIAN/md5sums"
chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

find "$root" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
# xz as every dpkg since Debian 9 reads it; root owns every file.
dpkg-deb --root-owner-group -Zxz -b "$root" "$out/$package" >/dev/null
rm -rf "$root"
