#!/usr/bin/env bash
# Generates the benchmark's photo set: COUNT JPEGs of 6000x4000 with
# photo-like detail (colour gradients, fractal structure, grain), every
# fourth one progressive, and the signature file the probe recognises them by.
#
#   make_photos.sh OUTPUT_DIR PROBE [COUNT]
#
# Re-running with the same output folder keeps what is already there.
set -euo pipefail

out="$1"
probe="$2"
count="${3:-20}"
stamp="photos-v1-$count"

mkdir -p "$out"
if [ -f "$out/$stamp" ]; then
  exit 0
fi

# Known regions of the Mandelbrot set with fine structure at small scales.
points=(
  "-0.743643887037151 0.13182590420533"
  "-0.7453 0.1127"
  "-0.16 1.0405"
  "-1.25066 0.02012"
  "0.281717921930775 0.5771052841488505"
  "-0.235125 0.827215"
  "-1.768778833 -0.001738996"
  "-0.748 0.1"
)

"$probe" boxes > "$out/signatures.tmp"
for ((i = 0; i < count; i++)); do
  name=$(printf 'photo-%02d.jpg' "$i")
  read -r px py <<< "${points[$((i % ${#points[@]}))]}"
  scale=$(awk -v i="$i" 'BEGIN { printf "%.4f", 0.004 + 0.003 * i }')
  ffmpeg -hide_banner -loglevel error -y \
    -f lavfi -i "gradients=s=6000x4000:n=6:seed=$((1000 + i * 7)):d=1:r=1" \
    -f lavfi -i "mandelbrot=s=1500x1000:start_x=$px:start_y=$py:start_scale=$scale:end_scale=$scale:maxiter=256:r=1,format=gray,scale=6000x4000:flags=bicubic" \
    -filter_complex "[0]format=gbrp[a];[1]format=gbrp[b];[a][b]blend=all_mode=overlay:all_opacity=0.7,noise=alls=22:allf=t,format=yuvj420p" \
    -frames:v 1 -q:v 2 "$out/baseline.jpg"
  if (( i % 4 == 3 )); then
    jpegtran -progressive -copy all "$out/baseline.jpg" > "$out/$name"
    rm -f "$out/baseline.jpg"
  else
    mv "$out/baseline.jpg" "$out/$name"
  fi
  # The photo as a viewer fitting it to a 1920x1080 screen shows it.
  ffmpeg -hide_banner -loglevel error -y -i "$out/$name" \
    -vf "scale=1620:1080:flags=area,pad=1920:1080:150:0:black,format=rgb24" \
    -frames:v 1 "$out/reference.ppm"
  "$probe" sig "$out/reference.ppm" "$i" >> "$out/signatures.tmp"
  rm -f "$out/reference.ppm"
done
mv "$out/signatures.tmp" "$out/signatures.txt"
touch "$out/$stamp"
