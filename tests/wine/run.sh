#!/bin/sh
# Runs one Windows test program under wine64 in the unit tests' prefix.
. "$(dirname "$0")/../../tools/wine-env.sh"
wine_prefix "$1"
shift
exec "$wine" "$@"
