#!/bin/sh
# Every Windows executable, the reader books.ini among them, may import Windows' own DLLs only: nothing of mingw
# (libstdc++, libgcc, winpthread) may be needed beside it.
status=0
for dir in "$@"; do
  for exe in "$dir"/*.exe "$dir"/books.ini; do
    [ -e "$exe" ] || continue
    dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z')
    for dll in $dlls; do
      case "$dll" in
        lib*.dll|*mingw*|*pthread*|*gcc*|*stdc++*)
          echo "$exe needs $dll" >&2
          status=1 ;;
      esac
    done
  done
done
[ $status = 0 ] && echo "Windows executables: no DLL beyond Windows' own"
exit $status
