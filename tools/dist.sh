#!/bin/sh
# Writes the downloads into dist/: the 32-bit Windows zip, the Linux archive and the Debian
# package made from the same Linux files (tools/deb.sh).
#   tools/dist.sh WIN32_BIN RELEASE_BUILD FLOOR_BIN
# FLOOR_BIN holds the Linux reader and tarvello-cli as tools/floor-build.sh builds them, for
# every glibc from 2.28 on; they take the place of the release build's.
# The same commit gives the same archives: every entry carries the commit's time
# (SOURCE_DATE_EPOCH when set), owner 0 and fixed modes, in the order of its name. Needs
# zip and dpkg-deb.
set -e
win32_bin=$1
release=$2
floor_bin=$3
# The version as CMakeLists.txt gives it, from the header the build generated.
version=$(sed -n 's/^#define TARVELLO_VERSION "\(.*\)"$/\1/p' "$release/generated/version.h")
[ -n "$version" ] || { echo "no version in $release/generated/version.h" >&2; exit 1; }
out=dist
rm -rf "$out"
mkdir -p "$out/stage"

# Windows: the window and the reader, both i686, and a read-me Windows shows in Chinese
# (UTF-8 with a byte order mark and CR LF line ends).
w="$out/stage/Tarvello-$version"
mkdir -p "$w"
cp "$win32_bin/Tarvello.exe" "$win32_bin/books.ini" "$w/"
printf '\357\273\277' >"$w/使用说明.txt"
sed "s/@VERSION@/$version/; s/\$/\r/" packaging/win32/使用说明.txt >>"$w/使用说明.txt"

# The time every entry carries: the commit's, or, where there is no git (a copy of the
# files), a fixed one, the earliest a zip can hold.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || true)
  [ -n "$SOURCE_DATE_EPOCH" ] || SOURCE_DATE_EPOCH=315532800
fi
# A zip keeps local time: so that it reads the same everywhere, it is UTC.
export TZ=UTC

# stamp DIR: the folder and everything in it get the one time and modes that do not
# depend on this machine's umask.
stamp() {
  find "$1" -type d -exec chmod 755 {} +
  find "$1" -type f -exec sh -c 'for f; do
    if [ -x "$f" ]; then chmod 755 "$f"; else chmod 644 "$f"; fi; done' sh {} +
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

stamp "$w"
# -X: no owner and no extra times; the files in the order of their names.
(cd "$out/stage" && find "Tarvello-$version" -type f | LC_ALL=C sort |
  zip -q -X -D "../Tarvello-$version-win32.zip" -@)

# Linux: a folder that runs where it is unpacked, with the menu entry and icons, and the
# Windows reader, so that tarvello-cli pack --for windows makes books for Windows readers.
l="$out/stage/tarvello-$version-linux-x86_64"
mkdir -p "$l"
DESTDIR= cmake --install "$release" --prefix "$(pwd)/$l" >/dev/null
mv "$l/bin/"* "$l/" && rmdir "$l/bin"
cp "$floor_bin/books.ini" "$floor_bin/tarvello-cli" "$l/"
strip --strip-unneeded "$l/tarvello-qt" "$l/tarvello-cli" "$l/books.ini"
sh tools/check-linux-deps.sh "$l/books.ini" "$l/tarvello-cli"
cp "$win32_bin/books.ini" "$l/books-windows.ini"
sed "s/@VERSION@/$version/" packaging/linux/README.txt >"$l/README.txt"
cp packaging/linux/install.sh packaging/linux/uninstall.sh "$l/"
stamp "$l"
# gzip -n: no name and no time in the gzip header.
tar -C "$out/stage" --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 \
  --numeric-owner --format=gnu -cf - "tarvello-$version-linux-x86_64" |
  gzip -n -9 >"$out/tarvello-$version-linux-x86_64.tar.gz"
SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH sh tools/deb.sh "$l" "$version" "$out"

rm -rf "$out/stage"
ls -l "$out"
