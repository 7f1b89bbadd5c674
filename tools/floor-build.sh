#!/bin/sh
# The two Linux programs that travel to other systems, the reader (books.ini, at the head
# of every e-book) and tarvello-cli, built on the oldest system they are for: in a bare
# Debian 11 root, with its own GCC 10 (and the static libstdc++ and libgcc the programs
# carry) against its glibc, so that they run on every glibc from 2.28 on
# (tools/check-linux-deps.sh checks the download's).
#
#   tools/floor-build.sh [BUILD]     BUILD defaults to build/floor; the programs land in BUILD/bin
#
# As root, for the chroot; through sudo otherwise. The root with its compiler is kept as a
# tarball in TARVELLO_BARE_CACHE (tools/bare-root.sh), so only the first run downloads; BUILD
# stays between runs, so a second one rebuilds only what changed. Inside, the tree is /src
# (read-only) and BUILD is /build, the same names in every copy of the tree, so that two
# copies build the same bytes. CLI11, header-only and not packaged for Debian 11, comes from
# this machine's libcli11-dev: the version the tests here compile against.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" != 0 ]; then
  exec sudo --preserve-env=JOBS,TARVELLO_BARE_CACHE,TARVELLO_BARE_WORK,DEBIAN_MIRROR \
    sh "$0" "$@"
fi
. "$here/tools/bare-root.sh"
bare_suite bullseye
build=${1:-$here/build/floor}
jobs=${JOBS:-$(nproc)}
[ -d /usr/include/CLI ] || sh "$here/tools/need-debs.sh" libcli11-dev

# The root with the build's packages, made once; a changed list makes a new one.
packages="g++ cmake make"
kept="$cache/$suite-build-$(echo "$packages" | cksum | cut -d ' ' -f 1).tar.gz"
if [ -f "$kept" ]; then
  bare_unpack "$kept"
else
  bare_unpack
  echo "== $packages into the bare $release root (once; kept in $kept)"
  bare_mount
  bare_run "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
    --no-install-recommends $packages >/dev/null"
  bare_unmount
  bare_keep "$root" "$kept"
fi

mkdir -p "$build" "$root/usr/local/include" "$root/usr/local/share/cmake"
build=$(cd "$build" && pwd)
# With their times, so that a second run does not take them for changed.
cp -Rp /usr/include/CLI "$root/usr/local/include/"
cp -Rp /usr/share/cmake/CLI11 "$root/usr/local/share/cmake/"
bare_mount
bare_bind "$here" /src ro
bare_bind "$build" /build

echo "== the reader and tarvello-cli on $release: $(bare_run 'gcc --version | head -n 1')"
bare_run "cmake -S /src -B /build -DCMAKE_BUILD_TYPE=Release -DTARVELLO_TESTS=OFF \
  -DTARVELLO_QT=OFF >/dev/null && cmake --build /build -j$jobs --target tarvello_reader tarvello-cli"
# Someone who is not root gets a folder of their own back.
chown -R "$(stat -c %u:%g "$here")" "$build"
