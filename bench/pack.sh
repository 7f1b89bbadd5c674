#!/bin/sh
# How fast tarvello-cli packs, and in how much memory, next to plain `cat` writing the
# same bytes. Eight PDFs of 48 MiB and a small reader; `cat` and `pack` take turns so both
# see the same page cache and the same disk; outputs are deleted between runs.
#
#   bench/pack.sh [ROUNDS]        ROUNDS defaults to 21 (7 at the least)
#
# BENCH_DIR chooses the scratch folder (default build/bench-work, on the same disk as
# the build). Needs GNU time (/usr/bin/time, Debian package "time").
set -eu

rounds=${1:-21}
. "$(dirname "$0")/prologue.sh"
bench_build tarvello-cli
cli="$bin/tarvello-cli"
bench_work build/bench-work
mkdir -p "$work/in" "$work/out"

echo "making 8 PDFs of 48 MiB in $work ..."
# The payload always starts at offset 589,999, 175 bytes into a page. A reader of 4,271
# bytes puts cat's copy of the PDFs 175 bytes into a page too, so neither side gets
# page-aligned writes the other lacks.
head -c 4271 /dev/urandom > "$work/books.ini"
i=1
while [ $i -le 8 ]; do
  head -c 50331648 /dev/urandom > "$work/in/$i.pdf"
  i=$((i + 1))
done
# Named from inside their folder, so a path with spaces cannot split them.
pdfs="1.pdf 2.pdf 3.pdf 4.pdf 5.pdf 6.pdf 7.pdf 8.pdf"

now_ns() { date +%s%N; }

# Both commands run under GNU time, so both pay for it alike; it also gives pack's peak
# resident set in KiB. pack flushes the e-book to the disk before it takes its name, so
# that a power cut cannot leave an empty book; cat's copy is flushed the same way
# (coreutils' `sync FILE`), or the two would not be doing the same work.
run_cat() {
  start=$(now_ns)
  # shellcheck disable=SC2086
  (cd "$work/in" && /usr/bin/time -f %M -o "$work/cat.rss" cat "$work/books.ini" $pdfs \
    > "$work/out/cat.bin")
  sync "$work/out/cat.bin"
  end=$(now_ns)
  echo $((end - start)) >> "$work/cat.times"
  rm -f "$work/out/cat.bin"
}

run_pack() {
  start=$(now_ns)
  # shellcheck disable=SC2086
  (cd "$work/in" && /usr/bin/time -f %M -o "$work/pack.rss" "$cli" pack --name bench \
    --stub "$work/books.ini" --out-dir "$work/out" $pdfs > /dev/null)
  end=$(now_ns)
  echo $((end - start)) >> "$work/pack.times"
  cat "$work/pack.rss" >> "$work/pack.peaks"
  rm -f "$work/out/bench.exe" "$work/out/bench.run"
}

# One unmeasured turn each warms the page cache for both alike; `sync` between runs keeps
# one run's write-back out of the next one's time.
: > "$work/cat.times"
: > "$work/pack.times"
: > "$work/pack.peaks"
run_cat
run_pack
: > "$work/cat.times"
: > "$work/pack.times"
: > "$work/pack.peaks"
sync

r=1
while [ "$r" -le "$rounds" ]; do
  run_cat
  sync
  run_pack
  sync
  r=$((r + 1))
done

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { m = int((NR + 1) / 2); print (NR % 2) ? v[m] : (v[m] + v[m + 1]) / 2 }'; }

cat_ms=$(median "$work/cat.times" | awk '{ printf "%.0f", $1 / 1e6 }')
pack_ms=$(median "$work/pack.times" | awk '{ printf "%.0f", $1 / 1e6 }')
paste "$work/pack.times" "$work/cat.times" | awk '{ print $1 / $2 }' > "$work/ratios"
ratio=$(median "$work/ratios")
peak_kib=$(sort -n "$work/pack.peaks" | tail -n 1)

echo "rounds:                $rounds (interleaved cat, pack)"
echo "cat  per round (ms):   $(awk '{ printf "%.0f ", $1 / 1e6 }' "$work/cat.times")"
echo "pack per round (ms):   $(awk '{ printf "%.0f ", $1 / 1e6 }' "$work/pack.times")"
echo "median cat:            $cat_ms ms"
echo "median pack:           $pack_ms ms"
echo "median ratio pack/cat: $(printf '%.3f' "$ratio")   (goal <= 1.10)"
echo "peak RSS of pack:      $peak_kib KiB = $(awk -v k="$peak_kib" 'BEGIN { printf "%.1f", k / 1024 }') MiB   (goal <= 16 MiB)"
