#!/bin/sh
# Checks the Debian package that `make dist` writes:
#   - lintian finds no error and no warning;
#   - appstreamcli accepts its AppStream metadata;
#   - on Debian 12, where the shipped programs are built, its Depends are what
#     dpkg-shlibdeps finds for them, each Qt library also under its t64 name (Debian 13
#     and Ubuntu 24.04 renamed some);
#   - the manual page of tarvello-cli names every option its --help names;
#   - in a bare root of each SUITE, apt installs it, over an older one, both programs run,
#     books are made with both readers, and purge leaves nothing (tools/deb-install-check.sh).
#
#   tools/deb-check.sh DEB [SUITE...]      SUITE: bookworm, trixie or bullseye
#
# Without SUITE: bookworm and trixie where the package was built on Debian 12, as the
# shipped one is; built on another release, its programs need that release's libraries,
# so only that release.
#
# Needs lintian, appstream, dpkg-dev and man-db (make deps-deb), and root for the bare
# roots (tools/bare-debian.sh), through sudo when not root.
set -eu
deb=$(readlink -f "$1")
shift
codename=$(sed -n 's/^VERSION_CODENAME=//p' /etc/os-release)
if [ $# = 0 ]; then
  case $codename in
  bookworm) set -- bookworm trixie ;;
  bullseye | trixie) set -- "$codename" ;;
  *) echo "deb-check: no bare root of '$codename' to install the package in" ;;
  esac
fi
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tarvello-deb-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
start=$(date +%s)

fail() {
  echo "deb-check: $*" >&2
  exit 1
}

echo "== lintian $(basename "$deb")"
status=0
lintian --fail-on error,warning --display-info "$deb" >"$work/lintian.txt" 2>&1 || status=$?
grep -v '^running with root privileges' "$work/lintian.txt" || true
[ $status = 0 ] || fail "lintian reports errors or warnings"

echo "== appstreamcli validate"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/"*.metainfo.xml

# What dpkg-shlibdeps computes for the three programs, the Qt libraries with their t64
# names beside them. Only Debian 12's libraries give the versions the package promises.
if [ "$codename" = bookworm ]; then
  echo "== Depends against dpkg-shlibdeps"
  mkdir -p "$work/root/debian"
  printf 'Source: tarvello\n\nPackage: tarvello\nArchitecture: amd64\n' >"$work/root/debian/control"
  # It reads the libraries' packages from this system: the Qt of the Linux build.
  (cd "$work/root" && dpkg-shlibdeps -O usr/bin/tarvello-qt usr/bin/tarvello-cli \
    usr/lib/tarvello/books.ini) >"$work/shlibdeps" 2>"$work/shlibdeps-errors" || {
    cat "$work/shlibdeps-errors" >&2
    fail "dpkg-shlibdeps failed"
  }
  found=$(sed -n 's/^shlibs:Depends=//p' "$work/shlibdeps" |
    sed -E 's/(libqt6[a-z]+6) (\([^)]*\))/\1 \2 | \1t64 \2/g')
  rm -r "$work/root/debian"
  stated=$(dpkg-deb -f "$deb" Depends)
  [ "$found" = "$stated" ] ||
    fail "packaging/deb/control says Depends: $stated
but the programs need (dpkg-shlibdeps): $found"
fi

echo "== every option of tarvello-cli --help in its manual page"
page=$(zcat "$work/root/usr/share/man/man1/tarvello-cli.1.gz" | sed -e 's/\\-/-/g' -e 's/\\://g')
for command in "" pack list extract check; do
  # A command's own options, and the options of the program.
  "$work/root/usr/bin/tarvello-cli" $command --help
done | grep -o -- '--[a-z][a-z-]*' | sort -u >"$work/options"
for option in $(cat "$work/options"); do
  printf '%s\n' "$page" | grep -q -- "$option" || fail "tarvello-cli.1 does not name $option"
done

sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
mkdir -p "$work/files"
cp "$deb" "$here/tools/deb-install-check.sh" "$here/samples/"*.pdf "$work/files/"
for suite in "$@"; do
  $sudo env SUITE="$suite" TARVELLO_BARE_FILES="$work/files" sh "$here/tools/bare-debian.sh" \
    "sh deb-install-check.sh $(basename "$deb") *.pdf"
done
echo "the package passed its checks on $* in $(($(date +%s) - start)) s"
