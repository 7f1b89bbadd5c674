#!/bin/sh
# Runs one Windows test program under wine64 in the tests' own prefix.
prefix="$1"
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec /usr/lib/wine/wine64 "$@"
