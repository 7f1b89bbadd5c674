#!/bin/sh
# `make` on a machine that may not have it yet: a fresh Debian 12 has no make, no cmake and
# no compiler. Installs make when it is missing (as root, or through sudo), then runs
# `make ARGS...`, whose targets install the rest of what they need.
#
#   ./make.sh test     ./make.sh run     ./make.sh (the list of targets)
set -e
cd "$(dirname "$0")"
command -v make >/dev/null 2>&1 || sh tools/need-debs.sh make
exec make "$@"
