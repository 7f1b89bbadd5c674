#!/bin/sh
# Builds everything that ships twice, from two copies of this tree in two folders, one
# after the other, and fails on any byte that differs: the Windows programs and readers of
# both architectures, the Linux window (release build), the Linux reader and tarvello-cli
# (built on Debian 11), the downloads of `make dist` (two archives and the Debian package),
# and an e-book of each system packed from the sample PDFs.
#
#   tools/repro.sh [WORK]      WORK defaults to build/repro; JOBS sets the build's jobs
#
# The copies take the tree as it is, uncommitted edits too, without build/ and dist/.
# Needs what `make dist` and the win64 build need (make deps), and root for the Debian 11
# build (tools/floor-build.sh).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$root/build/repro}
jobs=${JOBS:-$(nproc)}
make=${MAKE:-make}
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)

# Two folders of different lengths, so that no path of either can hide in the bytes.
first="$work/a"
second="$work/second-copy"

# build_copy DIR: the copy, its shipping builds, its downloads and its two sample e-books.
build_copy() {
  dir="$1"
  echo "== building in $dir"
  mkdir -p "$dir"
  # -m: every file is as new as the copy, as in a fresh clone.
  tar -C "$dir" -xmf "$work/tree.tar"
  (
    cd "$dir"
    # The downloads, from the 32-bit Windows build, the optimised Linux one and the
    # Debian 11 one.
    "$make" -s --no-print-directory dist JOBS="$jobs" >/dev/null
    # The 64-bit Windows programs, as a product build makes them: without the tests.
    cmake --preset win64 -DTARVELLO_TESTS=OFF >/dev/null
    cmake --build --preset win64 -j"$jobs" --target Tarvello tarvello_reader tarvello-cli >/dev/null
    mkdir -p build/books/linux build/books/windows
    build/floor/bin/tarvello-cli pack --name 示例 --out-dir build/books/linux samples >/dev/null
    build/floor/bin/tarvello-cli pack --name 示例 --stub build/win32/bin/books.ini \
      --out-dir build/books/windows samples >/dev/null
  )
}

# One picture of the tree for both copies, so that an edit made meanwhile reaches neither.
(cd "$root" && tar --exclude=./build --exclude=./dist -cf "$work/tree.tar" .)
build_copy "$first"
# A different second on every clock the builds might read.
sleep 1
build_copy "$second"

# What is compared: every file of these, by its path in the copy.
shipped="build/win32/bin/Tarvello.exe build/win32/bin/books.ini build/win32/bin/tarvello-cli.exe
build/win64/bin/Tarvello.exe build/win64/bin/books.ini build/win64/bin/tarvello-cli.exe
build/release/bin/tarvello-qt build/floor/bin/tarvello-cli build/floor/bin/books.ini"
for f in "$first"/dist/* "$first"/build/books/*/*; do
  shipped="$shipped ${f#"$first"/}"
done

# explain FILE: what tells the two copies of FILE apart, readably where it can.
explain() {
  a="$first/$1"
  b="$second/$1"
  echo "  first bytes that differ (offset, octal values):"
  cmp -l "$a" "$b" 2>/dev/null | head -n 5 | sed 's/^/    /'
  case "$1" in
  *.exe | *books.ini | *tarvello-cli)
    if x86_64-w64-mingw32-objdump -p "$a" >"$work/a.txt" 2>/dev/null; then
      x86_64-w64-mingw32-objdump -p "$b" >"$work/b.txt" 2>/dev/null
      echo "  objdump -p, first lines that differ:"
      diff "$work/a.txt" "$work/b.txt" | grep '^[<>]' | head -n 8 | sed 's/^/    /'
    fi
    ;;
  esac
  case "$1" in
  *.tar.gz)
    tar -tvzf "$a" >"$work/a.txt"
    tar -tvzf "$b" >"$work/b.txt"
    echo "  tar -tv, first lines that differ:"
    diff "$work/a.txt" "$work/b.txt" | grep '^[<>]' | head -n 8 | sed 's/^/    /'
    ;;
  *.deb)
    { dpkg-deb -I "$a" && dpkg-deb -c "$a"; } >"$work/a.txt" 2>&1 || true
    { dpkg-deb -I "$b" && dpkg-deb -c "$b"; } >"$work/b.txt" 2>&1 || true
    echo "  dpkg-deb -I and -c, first lines that differ:"
    diff "$work/a.txt" "$work/b.txt" | grep '^[<>]' | head -n 8 | sed 's/^/    /'
    ;;
  *.zip)
    unzip -Zl "$a" >"$work/a.txt" 2>/dev/null || true
    unzip -Zl "$b" >"$work/b.txt" 2>/dev/null || true
    echo "  unzip -Zl, first lines that differ:"
    diff "$work/a.txt" "$work/b.txt" | grep '^[<>]' | head -n 8 | sed 's/^/    /'
    ;;
  esac
  # A folder's name in the bytes is the commonest cause.
  for name in "$first" "$second"; do
    if grep -qaF "$name" "$a" "$b"; then
      echo "  names the build folder $name"
    fi
  done
}

status=0
count=0
for f in $shipped; do
  count=$((count + 1))
  if [ ! -f "$first/$f" ] || [ ! -f "$second/$f" ]; then
    echo "MISSING $f" >&2
    status=1
  elif ! cmp -s "$first/$f" "$second/$f"; then
    echo "DIFFERS $f" >&2
    explain "$f" >&2
    status=1
  fi
done
if [ $status = 0 ]; then
  echo "reproducible: $count files byte for byte the same from $first and $second"
  rm -rf "$work"
else
  echo "not reproducible: the two builds are kept in $work" >&2
fi
exit $status
