#!/bin/sh
# A command on a bare Debian: a root made by `debootstrap --variant=minbase SUITE` (no make,
# no cmake, no compiler), a clone of this tree's commit in it, and the command run there
# from the clone, with TARVELLO_BARE_ROOT=1. Without COMMAND, the README's test command
# exactly as the README writes it. Fails when the command fails. As root; installs
# debootstrap when it is missing.
#
#   [SUITE=bookworm|trixie|bullseye] tools/bare-debian.sh [COMMAND]
#
# TARVELLO_BARE_FILES=DIR puts a copy of DIR's files in the root instead of the clone, and
# COMMAND runs among them: what is built here, tried on a release that has nothing else of
# it (tools/deb-check.sh installs the Debian package so).
#
# TARVELLO_BARE_CACHE (/var/cache/tarvello) keeps the bare root as a tarball and the
# packages the run downloaded, so a second run neither bootstraps nor downloads again; the
# root itself is made afresh from the tarball every run, with the cache mounted at the
# same place, so a bare root inside it finds the cache too. TARVELLO_BARE_WORK (/var/tmp)
# holds it while it runs. DEBIAN_MIRROR names the mirror (deb.debian.org).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
cache=${TARVELLO_BARE_CACHE:-/var/cache/tarvello}
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
suite=${SUITE:-bookworm}
case $suite in
bullseye) release="Debian 11" ;;
bookworm) release="Debian 12" ;;
trixie) release="Debian 13" ;;
*) echo "SUITE: bullseye, bookworm or trixie, not '$suite'" >&2; exit 2 ;;
esac
tarball="$cache/$suite-minbase.tar.gz"
# Each release its own packages: the same name and version can differ in its build.
archives="$cache/apt-archives"
[ "$suite" = bookworm ] || archives="$cache/apt-archives-$suite"

[ "$(id -u)" = 0 ] || { echo "tools/bare-debian.sh needs root (debootstrap, mount, chroot)" >&2; exit 1; }
command -v debootstrap >/dev/null 2>&1 || sh "$here/tools/need-debs.sh" debootstrap
mkdir -p "$cache" "$archives/partial"

# By default the README's command for every test, as written there: the line of its first
# block that ends in " test", its comment taken off.
if [ $# -gt 0 ]; then
  command="$*"
else
  command=$(awk '/^```/ { n++; next } n == 1' "$here/README.md" | sed 's/[[:space:]]*#.*$//' |
    grep ' test$' | head -n 1)
  [ -n "$command" ] || { echo "README.md: no test command in its first block" >&2; exit 1; }
fi

work=$(mktemp -d "${TARVELLO_BARE_WORK:-/var/tmp}/tarvello-bare.XXXXXX")
root="$work/root"

# Whatever runs inside is ended, then everything mounted into the root comes off, then the
# root goes: on every way out.
cleanup() {
  status=$?
  trap - EXIT INT TERM HUP
  for proc in /proc/[0-9]*; do
    if [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ]; then
      kill -9 "${proc#/proc/}" 2>/dev/null || true
    fi
  done
  for mount in dev sys proc var/cache/apt/archives "${cache#/}"; do
    mountpoint -q "$root/$mount" 2>/dev/null && umount -R "$root/$mount"
  done
  # Removed only once nothing is mounted in it any more.
  if ! grep -qF " $root/" /proc/mounts; then
    rm -rf "$work"
  else
    echo "still mounted, left in place: $work" >&2
  fi
  exit $status
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

if [ ! -f "$tarball" ]; then
  echo "== debootstrap --variant=minbase $suite (once; kept in $tarball)"
  debootstrap --variant=minbase "$suite" "$work/new" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -n 20 "$work/debootstrap.log" >&2; exit 1; }
  tar -C "$work/new" --numeric-owner -czf "$tarball.part" .
  mv "$tarball.part" "$tarball"
  rm -rf "$work/new"
fi
mkdir -p "$root"
tar -C "$root" --numeric-owner -xzf "$tarball"

# The checkout: a clone of this commit, as someone would have it; a copy of the files
# where there is no git. Or only the files asked for.
mkdir -p "$root/root"
inside=/root/tarvello
if [ -n "${TARVELLO_BARE_FILES:-}" ]; then
  inside=/root/files
  mkdir -p "$root$inside"
  cp -R "$TARVELLO_BARE_FILES/." "$root$inside/"
elif git -C "$here" rev-parse --verify -q HEAD >/dev/null 2>&1; then
  git -c advice.detachedHead=false clone -q --no-hardlinks "$here" "$root/root/tarvello"
  git -C "$root/root/tarvello" checkout -q "$(git -C "$here" rev-parse HEAD)"
  echo "== $(git -C "$here" log -1 --format='%h %s' | cut -c1-72)"
else
  mkdir -p "$root/root/tarvello"
  (cd "$here" && tar --exclude=./build --exclude=./dist -cf - .) | tar -C "$root/root/tarvello" -xf -
fi

cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount --rbind /sys "$root/sys"
mount --make-rslave "$root/sys"
# /dev with /dev/pts and /dev/shm, which Wine needs; as slaves, so that unmounting them
# here never reaches this machine's own.
mount --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"
mount --bind "$archives" "$root/var/cache/apt/archives"
mkdir -p "$root$cache"
mount --bind "$cache" "$root$cache"
chmod 1777 "$root/tmp"

echo "== in the bare root: $command"
start=$(date +%s)
status=0
chroot "$root" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" TARVELLO_BARE_ROOT=1 \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  /bin/bash -c "cd $inside && $command" || status=$?
minutes=$((($(date +%s) - start + 59) / 60))
if [ $status != 0 ]; then
  echo "FAILED on a bare $release: \`$command\` ended with status $status (after ${minutes} min)" >&2
  exit $status
fi
echo "passed on a bare $release: \`$command\` (${minutes} min)"
