#!/bin/sh
# Runs one Windows test program under wine64 in the tests' own prefix.
prefix="$1"
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine takes file names to and from the system in the locale's character set: without a
# UTF-8 locale (CI may start with none) no Chinese file name can be made.
export LC_ALL=C.UTF-8
exec /usr/lib/wine/wine64 "$@"
