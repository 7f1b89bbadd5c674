#!/bin/sh
# Packs the sample PDFs into an e-book with the command-line tool, then lists and checks it.
set -e
bin="$1"
out=build/demo
rm -rf "$out"
mkdir -p "$out"
echo "== tarvello-cli pack --name 示例电子书 --out-dir $out samples"
"$bin/tarvello-cli" pack --name "示例电子书" --out-dir "$out" samples
echo "== tarvello-cli list $out/示例电子书.exe"
"$bin/tarvello-cli" list "$out/示例电子书.exe"
echo "== tarvello-cli check $out/示例电子书.exe"
"$bin/tarvello-cli" check "$out/示例电子书.exe"
