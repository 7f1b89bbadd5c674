#!/bin/sh
# A command on a bare Debian: a root made by `debootstrap --variant=minbase SUITE` (no make,
# no cmake, no compiler), a clone of this tree's commit in it, and the command run there
# from the clone. Fails when the command fails. As root; installs debootstrap when it is
# missing.
#
#   [SUITE=bookworm|trixie|bullseye] tools/bare-debian.sh COMMAND...
#
# TARVELLO_BARE_FILES=DIR puts a copy of DIR's files in the root instead of the clone, and
# COMMAND runs among them: what is built here, tried on a release that has nothing else of
# it (tools/deb-check.sh installs the Debian package so).
#
# The bare root is kept as a tarball in TARVELLO_BARE_CACHE (/var/cache/tarvello) with
# the packages the run downloaded, so a second run neither bootstraps nor downloads again;
# the root itself is made afresh from the tarball every run (tools/bare-root.sh).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/tools/bare-root.sh"
bare_suite "${SUITE:-bookworm}"

[ $# -gt 0 ] || { echo "usage: tools/bare-debian.sh COMMAND..." >&2; exit 2; }
command="$*"

bare_unpack

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

bare_mount

echo "== in the bare root: $command"
start=$(date +%s)
status=0
bare_run "cd $inside && $command" || status=$?
minutes=$((($(date +%s) - start + 59) / 60))
if [ $status != 0 ]; then
  echo "FAILED on a bare $release: \`$command\` ended with status $status (after ${minutes} min)" >&2
  exit $status
fi
echo "passed on a bare $release: \`$command\` (${minutes} min)"
