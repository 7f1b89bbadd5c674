# What every script that works in a bare Debian root shares (tools/bare-debian.sh,
# tools/floor-build.sh, tools/floor-check.sh); sourced, as root, with `here` set to the
# tree's top folder. A root is made once by `debootstrap --variant=minbase SUITE` and kept
# as a tarball; each run unpacks one afresh into a folder of its own, mounts the system's
# folders into it and, on every way out, ends what still runs inside, takes every mount
# off again and removes the folder.
#
# TARVELLO_BARE_CACHE (/var/cache/tarvello) keeps the tarballs and the packages runs
# downloaded; it is mounted into the root at the same place, so a bare root can be made
# from inside another. TARVELLO_BARE_WORK (/var/tmp) holds the roots while they run.
# DEBIAN_MIRROR names the mirror (deb.debian.org).

cache=${TARVELLO_BARE_CACHE:-/var/cache/tarvello}
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
bare_mounts=""

# bare_suite SUITE: sets suite, release (its name) and archives (its own packages: the same
# name and version can differ in its build from one release to the next).
bare_suite() {
  suite=$1
  case $suite in
  bullseye) release="Debian 11" ;;
  bookworm) release="Debian 12" ;;
  trixie) release="Debian 13" ;;
  *) echo "SUITE: bullseye, bookworm or trixie, not '$suite'" >&2; exit 2 ;;
  esac
  archives="$cache/apt-archives"
  [ "$suite" = bookworm ] || archives="$cache/apt-archives-$suite"
  [ "$(id -u)" = 0 ] || { echo "$0 needs root (debootstrap, mount, chroot)" >&2; exit 1; }
  command -v debootstrap >/dev/null 2>&1 || sh "$here/tools/need-debs.sh" debootstrap
  mkdir -p "$cache" "$archives/partial"
}

# bare_unpack [TARBALL]: a new folder, $work, with the root in $root: the suite's bare
# root, made by debootstrap the first time, or TARBALL, a root kept from an earlier run.
bare_unpack() {
  work=$(mktemp -d "${TARVELLO_BARE_WORK:-/var/tmp}/tarvello-bare.XXXXXX")
  root="$work/root"
  trap bare_cleanup EXIT
  trap 'exit 130' INT TERM HUP
  tarball=${1:-"$cache/$suite-minbase.tar.gz"}
  if [ ! -f "$tarball" ]; then
    echo "== debootstrap --variant=minbase $suite (once; kept in $tarball)"
    debootstrap --variant=minbase "$suite" "$work/new" "$mirror" >"$work/debootstrap.log" 2>&1 ||
      { tail -n 20 "$work/debootstrap.log" >&2; exit 1; }
    bare_keep "$work/new" "$tarball"
    rm -rf "$work/new"
  fi
  mkdir -p "$root"
  tar -C "$root" --numeric-owner -xzf "$tarball"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  chmod 1777 "$root/tmp"
}

# bare_keep DIR TARBALL: DIR, a root with nothing mounted in it, kept as TARBALL. Written
# aside first, so a run beside this one never unpacks half a root.
bare_keep() {
  tar -C "$1" --numeric-owner -czf "$2.$$.part" .
  mv "$2.$$.part" "$2"
}

# bare_bind FOLDER PLACE [ro]: FOLDER of this machine appears at PLACE inside the root.
bare_bind() {
  mkdir -p "$root$2"
  mount --bind "$1" "$root$2"
  [ "${3:-}" != ro ] || mount -o remount,bind,ro "$root$2"
  bare_mounts="$root$2 $bare_mounts"
}

# bare_mount: /proc, /sys, /dev (with /dev/pts and /dev/shm, which Wine needs), the
# suite's package cache and the roots' cache. /sys and /dev as slaves, so that unmounting
# them here never reaches this machine's own.
bare_mount() {
  mount -t proc proc "$root/proc"
  mount --rbind /sys "$root/sys"
  mount --make-rslave "$root/sys"
  mount --rbind /dev "$root/dev"
  mount --make-rslave "$root/dev"
  bare_mounts="$root/proc $root/sys $root/dev"
  bare_bind "$archives" /var/cache/apt/archives
  bare_bind "$cache" "$cache"
}

# bare_unmount: ends whatever still runs inside the root, then takes every mount off.
bare_unmount() {
  for proc in /proc/[0-9]*; do
    if [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ]; then
      kill -9 "${proc#/proc/}" 2>/dev/null || true
    fi
  done
  for mount in $bare_mounts; do
    mountpoint -q "$mount" 2>/dev/null && umount -R "$mount"
  done
  bare_mounts=""
}

# bare_run COMMAND: COMMAND run by bash in the root, in a clean environment with the
# variables named in bare_env (NAME=VALUE words).
bare_run() {
  # shellcheck disable=SC2086 # bare_env is a list of words
  chroot "$root" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin ${bare_env:-} \
    /bin/bash -c "$1"
}

# On every way out: nothing left running or mounted, then the root goes, but only once
# nothing is mounted in it any more.
bare_cleanup() {
  status=$?
  trap - EXIT INT TERM HUP
  bare_unmount
  if ! grep -qF " $root/" /proc/mounts; then
    rm -rf "$work"
  else
    echo "still mounted, left in place: $work" >&2
  fi
  exit $status
}
