#!/bin/sh
# Writes the two downloads into dist/: the 32-bit Windows zip and the Linux archive.
#   tools/dist.sh WIN32_BIN RELEASE_BUILD
set -e
win32_bin=$1
release=$2
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
(cd "$out/stage" && cmake -E tar cf "../Tarvello-$version-win32.zip" --format=zip "Tarvello-$version")

# Linux: a folder that runs where it is unpacked, with the menu entry and icons, and the
# Windows reader, so that tarvello-cli pack --for windows makes books for Windows readers.
l="$out/stage/tarvello-$version-linux-x86_64"
mkdir -p "$l"
DESTDIR= cmake --install "$release" --prefix "$(pwd)/$l" >/dev/null
mv "$l/bin/"* "$l/" && rmdir "$l/bin"
cp "$release/bin/tarvello-cli" "$l/"
strip --strip-unneeded "$l/tarvello-qt" "$l/tarvello-cli" "$l/books.ini"
cp "$win32_bin/books.ini" "$l/books-windows.ini"
sed "s/@VERSION@/$version/" packaging/linux/README.txt >"$l/README.txt"
cp packaging/linux/install.sh packaging/linux/uninstall.sh "$l/"
tar -C "$out/stage" -czf "$out/tarvello-$version-linux-x86_64.tar.gz" "tarvello-$version-linux-x86_64"

rm -rf "$out/stage"
ls -l "$out"
