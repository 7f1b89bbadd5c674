#!/bin/sh
# Packs the sample PDFs into an e-book with the command-line tool, then lists and checks it.
set -e
bin="$1"
out=build/demo
rm -rf "$out"
mkdir -p "$out"
echo "== tarvello-cli pack --name 示例电子书 --out-dir $out samples"
book=$("$bin/tarvello-cli" pack --name "示例电子书" --out-dir "$out" samples)
echo "== tarvello-cli list $book"
"$bin/tarvello-cli" list "$book"
echo "== tarvello-cli check $book"
"$bin/tarvello-cli" check "$book"
