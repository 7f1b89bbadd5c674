#!/usr/bin/env bash
# Regenerates the pictures in this folder from their sources:
#   tarvello.mvg, tarvello-16.mvg -> tarvello.ico, tarvello-48.png, tarvello-256.png
#   banner.py                     -> banner.jpg
#   hand.py                       -> hand.cur
# The results are committed; the build uses them as they are. Run this after
# changing a source, from anywhere: bash assets/make-assets.sh
# Needs imagemagick, icoutils, libjpeg-turbo-progs, fonts-dejavu-core, python3.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cd "$here"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

for tool in convert icotool cjpeg python3; do
  command -v "$tool" >/dev/null || {
    echo "make-assets.sh: $tool is missing (apt-get install imagemagick icoutils libjpeg-turbo-progs python3)" >&2
    exit 1
  }
done
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
[ -f "$font" ] || {
  echo "make-assets.sh: $font is missing (apt-get install fonts-dejavu-core)" >&2
  exit 1
}

red='#d42020'

# render SOURCE GRID SIZE OUT: draws the MVG SOURCE, laid out on a GRID x GRID
# square, as a SIZE x SIZE picture. It is drawn without anti-aliasing at 8 or
# 16 times the size and then averaged down, which gives exact coverage: an
# edge on a pixel boundary stays sharp, with no bleed into the next pixel.
render() {
  local src=$1 grid=$2 size=$3 out=$4
  local big=$((size * (size > 64 ? 8 : 16)))
  if ((big % grid)); then
    echo "make-assets.sh: $size pixels is no whole multiple of $src's grid" >&2
    exit 1
  fi
  local s=$((big / grid))
  # -0.5 puts the drawing's pixel (0,0) on the picture's first pixel.
  convert -size "${big}x${big}" xc:white +antialias \
    -affine "$s,0,0,$s,-0.5,-0.5" -draw "$(cat "$src")" \
    -scale "${size}x${size}" -strip "PNG24:$out"
}

# --- The application icon -------------------------------------------------

# Palettes for the reduced images: red and white for 2 colours, and for 16 an
# even ramp from white to red, so the edges keep a little smoothing.
convert xc:white "xc:$red" +append "$tmp/pal2.png"
ramp=()
for i in $(seq 0 15); do
  ramp+=("xc:$(python3 -c "
r, g, b = 0xd4, 0x20, 0x20
t = $i / 15
print('#%02x%02x%02x' % tuple(round(255 + (c - 255) * t) for c in (r, g, b)))")")
done
convert "${ramp[@]}" +append "$tmp/pal16.png"

images=()
for size in 16 32 48; do
  if ((size == 16)); then
    render tarvello-16.mvg 16 16 "$tmp/icon16.png"
  else
    render tarvello.mvg 256 "$size" "$tmp/icon$size.png"
  fi
  full=$tmp/icon$size.png
  convert "$full" +dither -remap "$tmp/pal2.png" -strip "PNG8:$tmp/icon$size-1.png"
  convert "$full" +dither -remap "$tmp/pal16.png" -strip "PNG8:$tmp/icon$size-4.png"
  convert "$full" +dither -colors 256 -strip "PNG8:$tmp/icon$size-8.png"
  images+=(-b 1 "$tmp/icon$size-1.png" -b 4 "$tmp/icon$size-4.png" -b 8 "$tmp/icon$size-8.png")
done
icotool -c -o tarvello.ico "${images[@]}"

# The same picture for the Linux desktop entry and window icon.
cp "$tmp/icon48.png" tarvello-48.png
render tarvello.mvg 256 256 tarvello-256.png

# --- The banner -------------------------------------------------------------

# The picture, then the name in white over a soft shadow at its lower right.
# The window hides the rightmost 5 columns and lowest 2 rows, so the letters
# keep clear of those.
python3 banner.py "$tmp/sky.ppm"
convert "$tmp/sky.ppm" \
  \( -size 198x222 xc:none -font "$font" -pointsize 21 -fill black \
     -gravity southeast -annotate +9+2 Tarvello -blur 0x1.5 \
     -channel A -evaluate multiply 0.55 +channel \) -composite \
  -font "$font" -pointsize 21 -fill white -gravity southeast -annotate +10+3 Tarvello \
  -depth 8 "$tmp/banner.ppm"
cjpeg -baseline -quality 92 -optimize -outfile banner.jpg "$tmp/banner.ppm"

# --- The hand pointer -------------------------------------------------------

python3 hand.py hand.cur

echo "make-assets.sh: wrote tarvello.ico tarvello-48.png tarvello-256.png banner.jpg hand.cur"
