#!/bin/sh
# The Linux download on the oldest system it is for (a bare Debian 11, tools/floor-check.sh),
# as a user has it: tarvello-cli makes a book for Linux readers and one for Windows
# readers, and the Linux book lists its PDFs, takes every one out byte for byte and hands
# the first to xdg-open.
#   floor.sh DOWNLOAD SAMPLES      the unpacked download and a folder of PDFs
set -eu
bin=$(cd "$1" && pwd)
samples=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
status=0
fail() {
  echo "FAILED: $*" >&2
  status=1
}
set -- "$samples"/*

# tarvello-cli names the finished book on its standard output.
book=$("$bin/tarvello-cli" pack --name 样书 "$@") || { echo "FAILED: pack" >&2; exit 1; }
mkdir windows
windows=$("$bin/tarvello-cli" pack --for windows --name 样书 --out-dir windows "$@") ||
  { echo "FAILED: pack --for windows" >&2; exit 1; }
"$bin/tarvello-cli" check "$windows" >/dev/null || fail "the book for Windows is damaged"
cmp -s -n "$(stat -c %s "$bin/books-windows.ini")" "$bin/books-windows.ini" "$windows" ||
  fail "the book for Windows does not start with books-windows.ini"

listing=$("$book" </dev/null) || fail "the book does not list"
mkdir out
"$book" extract out </dev/null >/dev/null || fail "extract"
number=0
for pdf; do
  number=$((number + 1))
  title=$(basename "$pdf")
  title=${title%.*}
  case $listing in *"$title"*) ;; *) fail "'$title' is not in the listing" ;; esac
  cmp -s "$pdf" "out/$(printf %03d $number)-$title.pdf" ||
    fail "'$title' did not come out as it went in"
done

# The desktop's opener, first in PATH: it keeps what it was given.
mkdir opener
cat >opener/xdg-open <<EOF
#!/bin/sh
printf '%s' "\$1" >"$work/opened"
cp "\$1" "$work/opened.pdf"
EOF
chmod +x opener/xdg-open
PATH="$work/opener:$PATH" "$book" open 1 </dev/null >/dev/null || fail "open 1"
opened=$(cat opened 2>/dev/null || true)
cmp -s "$1" opened.pdf || fail "open 1 handed xdg-open '$opened', not the first PDF"
[ "$(basename "$opened")" = "$(basename "${1%.*}").pdf" ] || fail "open 1 named its copy '$opened'"
exit $status
