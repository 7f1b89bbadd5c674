#!/bin/sh
# The Linux download on the oldest system it is for: unpacked in a bare Debian 11 root
# (glibc 2.31; no compiler, no desktop, no xdg-open) as a user would, with the sample PDFs,
# where tests/reader/floor.sh makes books with its tarvello-cli and reads the Linux one.
#
#   tools/floor-check.sh dist/tarvello-VERSION-linux-x86_64.tar.gz
#
# As root, for the chroot; through sudo otherwise. The root is tools/bare-root.sh's.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" != 0 ]; then
  exec sudo --preserve-env=TARVELLO_BARE_CACHE,TARVELLO_BARE_WORK,DEBIAN_MIRROR sh "$0" "$@"
fi
. "$here/tools/bare-root.sh"
bare_suite bullseye
archive=$1
start=$(date +%s)
[ -f "$archive" ] || { echo "no download $archive: make dist makes it" >&2; exit 1; }

bare_unpack
mkdir -p "$root/root/download"
tar -C "$root/root/download" -xzf "$archive"
cp -R "$here/samples" "$here/tests/reader/floor.sh" "$root/root/"
bare_mount
echo "== $(basename "$archive") on a bare $release, $(bare_run 'getconf GNU_LIBC_VERSION')"
status=0
bare_run "cd /root && sh floor.sh download/* samples" || status=$?
if [ $status != 0 ]; then
  echo "FAILED on a bare $release: the download's tarvello-cli and reader" >&2
  exit $status
fi
echo "passed on a bare $release: the download's tarvello-cli and reader" \
  "($(($(date +%s) - start)) s)"
