#!/bin/sh
# Installs those of the named Debian packages that are missing; NAME:ARCH names one of
# another architecture. With --check first it installs nothing: it names the missing ones
# and fails.
check=""
[ "${1:-}" = --check ] && check=1 && shift
missing=""
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ -n "$check" ]; then
  echo "Missing Debian packages:$missing" >&2
  exit 1
fi
echo "Installing Debian packages:$missing"
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
# A package of another architecture (wine32:i386) needs that architecture added first.
for p in $missing; do
  case "$p" in
  *:*)
    arch=${p#*:}
    [ "$arch" = "$(dpkg --print-architecture)" ] || dpkg --print-foreign-architectures |
      grep -qx "$arch" || $sudo dpkg --add-architecture "$arch"
    ;;
  esac
done
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
