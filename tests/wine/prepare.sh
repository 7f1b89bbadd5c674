#!/bin/sh
# Makes the Wine prefix the Windows unit tests run in, once, and keeps one wineserver
# alive for the whole run so each test program starts in a tenth of a second.
set -e
. "$(dirname "$0")/../../tools/wine-env.sh"
wine_need_locale
wine_prefix "$1"
wine_make_prefix
wine_keep_server 120
