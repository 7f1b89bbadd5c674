#!/bin/sh
# Runs the real tarvello-cli on a few small files and compares everything it prints,
# and its exit codes, with saved output.
#   end_to_end.sh RUN PROGRAM EXPECTED      RUN: round_trip or errors
set -u
run="$1"
cli="$2"
expected="$3"
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
got="$work/got.txt"
: > "$got"

# One command: its words, its standard output, its errors marked "! ", its exit code.
# The work folder's path is replaced so the output is the same wherever it runs.
step() {
  printf '$ %s\n' "$*" >> "$got"
  "$cli" "$@" > out.txt 2> err.txt
  code=$?
  sed "s|$work|WORK|g" out.txt >> "$got"
  sed "s|$work|WORK|g; s/^/! /" err.txt >> "$got"
  echo "=> $code" >> "$got"
}

mkdir in in/folder out x
printf 'reader\n' > books.ini
printf '%%PDF-1.4\n%%first\n' > in/第一章.pdf
printf '%%PDF-1.4\na\n' > in/folder/A.pdf
printf '%%PDF-1.4\nsecond file\n' > in/folder/b.PDF
printf 'not a pdf' > in/folder/notes.txt

case "$run" in
  round_trip)
    step pack --name "示例 书" --stub books.ini --out-dir out in/第一章.pdf in/folder
    step list "out/示例 书.exe"
    step check "out/示例 书.exe"
    step extract "out/示例 书.exe" x
    { cmp in/第一章.pdf x/001-第一章.pdf && cmp in/folder/A.pdf x/002-A.pdf &&
        cmp in/folder/b.PDF x/003-b.pdf; } >> "$got" 2>&1 || echo "extracted files differ" >> "$got"
    step extract "out/示例 书.exe" x
    ;;
  errors)
    step frobnicate
    step pack --stub books.ini in/folder
    step pack --name 书 --stub books.ini in/folder/notes.txt
    step pack --name 书 --stub books.ini --out-dir out in/folder/A.pdf in/missing.pdf
    step pack --name 书 --stub missing.ini --out-dir out in/folder
    step pack --name "  " --stub books.ini --out-dir out in/folder
    step check books.ini
    step list in/folder/A.pdf
    echo "out: $(ls out)" >> "$got"
    ;;
  *)
    echo "unknown run: $run" >&2
    exit 2
    ;;
esac

diff -u "$expected" "$got"
