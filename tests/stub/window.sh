#!/bin/sh
# Runs the reader window's tests under wine64 on a virtual display and in a Wine prefix of
# their own, made as for the window's tests (tests/wine/gui.sh):
#   window.sh STATE DRIVER [gtest options...]
# Everything started here is ended here.
set -e
mkdir -p "$1"
state=$(cd "$1" && pwd)  # Wine wants an absolute prefix
driver="$2"
shift 2
gui="$(cd "$(dirname "$0")/../wine" && pwd)/gui.sh"
sh "$gui" setup "$state"
trap 'sh "$gui" cleanup "$state"' EXIT
sh "$gui" run "$state" "$driver" "$@"
