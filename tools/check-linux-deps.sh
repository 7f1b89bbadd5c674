#!/bin/sh
# The Linux programs that travel, the reader books.ini and tarvello-cli, may need nothing
# but glibc (libc, libm, libpthread, libdl and the dynamic loader) and no glibc symbol
# newer than 2.28: then they run on Debian 10, Ubuntu 18.10 and RHEL 8 and on everything
# after them. The reader must also not be position-independent, or file managers take it
# for a shared library and refuse to start it.
#   tools/check-linux-deps.sh PROGRAM...
floor=2.28
status=0
for program in "$@"; do
  libraries=$(objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }') || status=1
  for library in $libraries; do
    case "$library" in
      libc.so.6 | libm.so.6 | libpthread.so.0 | libdl.so.2 | ld-linux*.so.*) ;;
      *)
        echo "$program needs $library" >&2
        status=1 ;;
    esac
  done
  # Every symbol with its version, as in "... GLIBC_2.34 __libc_start_main".
  objdump -T "$program" | awk -v program="$program" -v floor="$floor" '
    BEGIN { split(floor, f, ".") }
    match($0, /GLIBC_[0-9]+\.[0-9]+(\.[0-9]+)?/) {
      split(substr($0, RSTART + 6, RLENGTH - 6), v, ".")
      if (v[1] + 0 > f[1] || (v[1] + 0 == f[1] && v[2] + 0 > f[2])) {
        printf "%s needs %s@GLIBC_%s.%s, newer than glibc %s\n", program, $NF, v[1], v[2], floor
        newer = 1
      }
    }
    END { exit newer }' >&2 || status=1
  case "$program" in
    */books.ini)
      LC_ALL=C readelf -h "$program" | grep -Eq 'Type: +EXEC' ||
        { echo "$program is position-independent (-no-pie missing)" >&2; status=1; } ;;
  esac
done
[ $status = 0 ] && echo "Linux programs: glibc $floor or later and nothing else"
exit $status
