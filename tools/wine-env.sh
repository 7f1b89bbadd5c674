# The Wine surroundings of everything here that runs a Windows program: the unit tests,
# the window's and the reader's GUI tests, make run-windows, the screenshots and the
# benchmark. Source it (POSIX sh is enough), then name the prefix with wine_prefix.
#
#   TARVELLO_LOCALE  the Unix locale Wine runs in, which gives the Windows programs their
#                    ANSI code page: zh_CN.UTF-8 (936), the system the program is made
#                    for, unless set; en_US.UTF-8 gives 1252. Wine also takes file names
#                    to and from the system in it, so it must be a UTF-8 locale.
#   TARVELLO_DPI     the screen's dpi in the GUI tests' prefix (tests/wine/gui.sh): 96
#                    unless set; see wine_screen_dpi.

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=wineserver
export WINEDEBUG=-all
# No download of the .NET or HTML engines is offered, and no menu entries are written.
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
export LC_ALL="${TARVELLO_LOCALE:-zh_CN.UTF-8}"

# wine_need_locale [LOCALE]: fails, saying how to mend it, when the locale is missing.
wine_need_locale() {
  wanted="${1:-$LC_ALL}"
  # `locale -a` spells zh_CN.UTF-8 as zh_CN.utf8.
  locale -a 2>/dev/null | grep -qix "$(echo "$wanted" | sed 's/\.UTF-8$/.utf8/')" && return 0
  echo "The $wanted locale is missing: run tools/need-locale.sh $wanted (as root)." >&2
  return 1
}

# wine_prefix DIR: the prefix that Wine uses from now on.
wine_prefix() {
  export WINEPREFIX="$1"
}

# wine_make_prefix: makes that prefix when it is not there yet: 64-bit with its 32-bit
# half where the installed Wine has one, and a face that draws Chinese under the names
# the dialogs ask for.
wine_make_prefix() {
  [ -f "$WINEPREFIX/.tarvello" ] && return 0
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot -i </dev/null >/dev/null 2>&1
  for face in SimSun 宋体; do
    "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d 'WenQuanYi Micro Hei' \
      /f </dev/null >/dev/null 2>&1
  done
  # The registry is written when the server ends: wait for that, so a half-made prefix is
  # never taken for a finished one.
  "$wineserver" -w </dev/null >/dev/null 2>&1
  touch "$WINEPREFIX/.tarvello"
}

# wine_screen_dpi DPI: the screen of the prefix's sessions at DPI from now on. A session
# gives its screen the dpi that LogPixels holds when it starts; since Wine 10, a program
# started later takes a changed LogPixels as the system's dpi alone, as Windows does until
# the user signs in again, and its screen stays as it was. So a change ends the running
# session, and the next program starts one at the new dpi.
wine_screen_dpi() {
  [ "$(cat "$WINEPREFIX/.tarvello-dpi" 2>/dev/null)" = "$1" ] && return 0
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
    </dev/null >/dev/null 2>&1
  # Ending the server writes the registry.
  "$wineserver" -k </dev/null >/dev/null 2>&1 || true
  "$wineserver" -w </dev/null >/dev/null 2>&1 || true
  echo "$1" >"$WINEPREFIX/.tarvello-dpi"
}

# wine_runs_32bit: whether the prefix runs 32-bit Windows programs, as the product is.
wine_runs_32bit() {
  status=0
  "$wine" 'C:\windows\syswow64\cmd.exe' /c exit 32 </dev/null >/dev/null 2>&1 || status=$?
  [ "$status" = 32 ]
}

# wine_keep_server SECONDS: one server for a run of programs, and Wine's own background
# programs started now, writing nowhere: neither may hold the caller's output open.
wine_keep_server() {
  # "-p300" in one word; a bare "-p" keeps the server forever. A server that still runs
  # from an earlier call refuses to start a second time: fine.
  "$wineserver" "-p$1" </dev/null >/dev/null 2>&1 || true
  "$wine" wineboot </dev/null >/dev/null 2>&1
}
