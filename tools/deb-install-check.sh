#!/bin/sh
# Inside a bare Debian root (tools/deb-check.sh puts it there with the package and two
# sample PDFs): apt brings what the package depends on, nothing it only recommends; an
# older package is installed, then this one over it; both programs run, tarvello-cli makes
# a book with each reader; then purge. It fails unless
#   - the settings in the home folder come through the upgrade and the purge unchanged,
#     and nothing else in the home folder changes on purge;
#   - the list of files and folders after the purge is the list from before the install.
#
#   sh deb-install-check.sh PACKAGE.deb PDF...
set -eu
deb=$(readlink -f "$1")
shift
export DEBIAN_FRONTEND=noninteractive
work=/tmp/deb-check
rm -rf "$work"
mkdir -p "$work/books"

fail() {
  echo "deb-install-check: $*" >&2
  exit 1
}

# Every file, folder and link of the system, but what apt, dpkg and the programs' runs keep
# for themselves, and the home folder, which is checked on its own.
file_list() {
  find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /run -o -path /tmp \
    -o -path /var/tmp -o -path /var/cache -o -path /var/log -o -path /var/lib/dpkg \
    -o -path /var/lib/apt -o -path "$HOME" \) -prune -o -print | LC_ALL=C sort
}

# home_state: every file in the home folder with its checksum.
home_state() {
  find "$HOME" -type f -exec md5sum {} + | LC_ALL=C sort -k 2
}

echo "== apt-get satisfy the package's Depends"
apt-get update -qq
depends=$(dpkg-deb -f "$deb" Depends)
apt-get satisfy -y -qq --no-install-recommends "$depends" >/dev/null
file_list >"$work/before"

# The older package: this one under a lower version.
version=$(dpkg-deb -f "$deb" Version)
dpkg-deb -R "$deb" "$work/old"
sed -i "s/^Version: .*/Version: $version~old/" "$work/old/DEBIAN/control"
dpkg-deb --root-owner-group -b "$work/old" "$work/old.deb" >/dev/null
echo "== apt-get install the package as $version~old, then $version over it"
apt-get install -y -qq --no-install-recommends "$work/old.deb" >/dev/null
# The settings the window keeps, as an author left them.
conf="$HOME/.config/Tarvello/tarvello-qt.conf"
mkdir -p "${conf%/*}"
printf '[General]\nfolder=%s\nreaders=windows\n' "$HOME/书" >"$conf"
cp "$conf" "$work/conf"
apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
[ "$(dpkg-query -W -f='${Version}' tarvello)" = "$version" ] || fail "the upgrade did not take"
cmp -s "$conf" "$work/conf" || fail "the upgrade changed $conf"

echo "== the programs"
cli_version=$(tarvello-cli --version)
[ "$cli_version" = "tarvello-cli ${version%-*}" ] || fail "tarvello-cli --version: $cli_version"
for program in /usr/bin/tarvello-qt /usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqxcb.so; do
  ! ldd "$program" | grep 'not found' || fail "$program misses libraries"
done
# The window starts and keeps running until it is stopped.
status=0
QT_QPA_PLATFORM=offscreen timeout 5 tarvello-qt >"$work/qt.txt" 2>&1 || status=$?
[ "$status" = 124 ] || { cat "$work/qt.txt" >&2; fail "tarvello-qt ended with $status"; }
# On the X platform it gets as far as looking for the display, so the plugin loads.
DISPLAY=:99 QT_QPA_PLATFORM=xcb timeout 5 tarvello-qt >"$work/xcb.txt" 2>&1 || true
grep -q 'could not connect to display' "$work/xcb.txt" ||
  { cat "$work/xcb.txt" >&2; fail "tarvello-qt: the X platform plugin does not load"; }

books="$work/books"
tarvello-cli pack --name 示例 --for linux --out-dir "$books" "$@" >/dev/null
tarvello-cli pack --name 示例 --for windows --out-dir "$books" "$@" >/dev/null
[ "$(ls "$books")" = "$(printf '示例.exe\n示例.run')" ] || fail "books made: $(ls "$books" | tr '\n' ' ')"
[ "$(head -c 4 "$books/示例.run" | od -An -c | tr -d ' ')" = '177ELF' ] ||
  fail "示例.run is no Linux program"
[ "$(head -c 2 "$books/示例.exe")" = MZ ] || fail "示例.exe is no Windows program"
tarvello-cli check "$books/示例.exe" >/dev/null
"$books/示例.run" </dev/null >/dev/null || fail "示例.run does not run"

echo "== apt-get purge"
dpkg -L tarvello >"$work/files"
home_state >"$work/home-before"
apt-get purge -y -qq tarvello >/dev/null
file_list >"$work/after"
home_state >"$work/home-after"
if ! cmp -s "$work/before" "$work/after"; then
  diff "$work/before" "$work/after" | grep '^[<>]' | head -n 20 >&2
  fail "the files after the purge are not those before the install"
fi
cmp -s "$work/home-before" "$work/home-after" || fail "the purge changed the home folder"
cmp -s "$conf" "$work/conf" || fail "the purge changed $conf"
echo "installed, upgraded, run and purged: $(grep -c . "$work/files") paths of the package," \
  "nothing left, the settings kept"
