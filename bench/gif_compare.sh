#!/bin/sh
# Times our GIF export of the benchmark's 1024 x 768 photograph-like picture beside
# ImageMagick's `convert -colors 256` on the same pixels, and gifsicle re-encoding our file
# (gifsicle reads only GIF, so it gets the picture already at 256 colours).
# Usage: bench/gif_compare.sh [build-dir]   (a RelWithDebInfo build with ZELMORA_BENCH on)
set -e
build=${1:-build}
bench="$build/bench/bench_gif_bench"
[ -x "$bench" ] || { echo "no $bench; build with -DZELMORA_BENCH=ON" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
runs=5

ZELMORA_BENCH_PPM="$tmp/photo.ppm" ZELMORA_BENCH_GIF="$tmp/ours.gif" \
  "$bench" --benchmark_repetitions=$runs --benchmark_report_aggregates_only=true

# Median wall time in milliseconds of a command run $runs times.
median_ms() {
  i=0
  while [ $i -lt $runs ]; do
    s=$(date +%s%N); sh -c "$1" >/dev/null 2>&1; e=$(date +%s%N)
    echo $(( (e - s) / 1000000 ))
    i=$((i + 1))
  done | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

if command -v convert >/dev/null; then
  ms=$(median_ms "convert '$tmp/photo.ppm' -colors 256 '$tmp/im.gif'")
  echo "convert -colors 256:            ${ms} ms, $(stat -c %s "$tmp/im.gif") bytes"
  ms=$(median_ms "convert '$tmp/photo.ppm' -dither None -colors 256 '$tmp/im-nd.gif'")
  echo "convert -dither None -colors 256: ${ms} ms, $(stat -c %s "$tmp/im-nd.gif") bytes"
fi
if command -v gifsicle >/dev/null; then
  ms=$(median_ms "gifsicle '$tmp/ours.gif' -o '$tmp/sicle.gif'")
  echo "gifsicle (re-encode ours):      ${ms} ms, $(stat -c %s "$tmp/sicle.gif") bytes"
  ms=$(median_ms "gifsicle -O2 '$tmp/ours.gif' -o '$tmp/sicle-o2.gif'")
  echo "gifsicle -O2 (re-encode ours):  ${ms} ms, $(stat -c %s "$tmp/sicle-o2.gif") bytes"
fi
echo "ours:                           $(stat -c %s "$tmp/ours.gif") bytes (time: BM_EncodePhotoGIF above)"
