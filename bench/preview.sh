#!/usr/bin/env bash
# Preview timings on the 1080i fixture: selecting a clip until its first
# picture is painted, and one image step, each the median of 20 in one
# program run as the list page drives the media system; against decoding
# the same first picture with `ffmpeg -frames:v 1` (median of 20 runs of
# the command). Prints the milliseconds and the ratios.
# Usage: bench/preview.sh [BUILD_DIR]   (after ./scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
bench="$build/bin/tavrel_bench_preview"
fixtures="$build/fixtures"
clip="$fixtures/cam1080i.m2ts"
[ -x "$bench" ] || { echo "missing $bench: run ./scripts/build.sh first" >&2; exit 2; }
tests/fixtures/make_fixtures.sh "$fixtures"
cat "$clip" > /dev/null   # every run reads from the page cache

ours=$("$bench" "$clip" 2> /dev/null)
first=$(awk '$1 == "first" { print $2 }' <<< "$ours")
step=$(awk '$1 == "step" { print $2 }' <<< "$ours")

times=()
for _ in $(seq 20); do
  start=$(date +%s%N)
  ffmpeg -v error -i "$clip" -frames:v 1 -f null - < /dev/null
  times+=($(( ($(date +%s%N) - start) / 1000 )))
done
ffmpeg_ms=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { printf "%.1f", (a[int((NR + 1) / 2)] + a[int(NR / 2) + 1]) / 2000 }')

printf '%-40s %8s ms\n' "first picture, Tavrel preview" "$first" \
  "first picture, ffmpeg -frames:v 1" "$ffmpeg_ms" "one image step, Tavrel preview" "$step"
awk -v o="$first" -v f="$ffmpeg_ms" -v s="$step" 'BEGIN {
  printf "ratio first picture / ffmpeg: %.2f (aim: at most 1)\n", o / f
  printf "ratio image step / 50 ms:     %.2f (aim: below 1)\n", s / 50 }'
