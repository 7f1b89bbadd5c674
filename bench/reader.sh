#!/bin/sh
# How fast the Linux reader lists a large e-book and takes its last PDF out, next to
# `cat` reading the whole e-book. The e-book is 1 GiB: 100 PDFs of 10,737,418 random
# bytes, packed by tarvello-cli with the release build's reader at its head.
#
#   bench/reader.sh [RUNS]        RUNS defaults to 20
#
# The page cache cannot be dropped here, so every command runs warm: the e-book is read
# once before timing and hyperfine warms each command up. BENCH_DIR chooses the scratch
# folder (default build/bench-work, about 1.1 GiB). Needs hyperfine and python3.
set -eu

runs=${1:-20}
. "$(dirname "$0")/prologue.sh"
bench_build tarvello-cli tarvello_reader
bench_work build/bench-work reader
mkdir -p "$work/pdfs" "$work/bin" "$work/tmp"

echo "making 100 PDFs of 10,737,418 bytes and packing them ..."
i=1
while [ $i -le 100 ]; do
  head -c 10737418 /dev/urandom > "$work/pdfs/$(printf %03d $i).pdf"
  i=$((i + 1))
done
book=$("$bin/tarvello-cli" pack --name bench --out-dir "$work" "$work/pdfs")
rm -rf "$work/pdfs"
echo "e-book: $(stat -c %s "$book") bytes"

# `open` hands the PDF to xdg-open; here that is a program that does nothing, so the
# time is the reader's own: reading the index, making the folder, copying 10 MiB. The
# folders it makes are removed before each run, outside the timing.
printf '#!/bin/sh\nexit 0\n' > "$work/bin/xdg-open"
printf '#!/bin/sh\nrm -rf "%s"/tmp/tarvello-*\n' "$work" > "$work/clean.sh"
chmod +x "$work/bin/xdg-open"
cat "$book" > /dev/null

# No shell between hyperfine and the programs (-N), and their output goes to /dev/null.
PATH="$work/bin:$PATH" TMPDIR="$work/tmp" \
  hyperfine -N --warmup 3 --runs "$runs" --export-json "$work/times.json" \
  --prepare "sh $work/clean.sh" \
  -n cat "cat $book" -n list "$book" -n "open 100" "$book open 100"

python3 - "$work/times.json" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
cat = results["cat"]["median"]
print()
print("| command | median | mean ± σ | median / cat |")
print("|---|---:|---:|---:|")
for name in ("cat", "list", "open 100"):
    r = results[name]
    print(f"| {name} | {r['median'] * 1000:.2f} ms | {r['mean'] * 1000:.2f} ± {r['stddev'] * 1000:.2f} ms "
          f"| {r['median'] / cat:.4f} |")
PY
