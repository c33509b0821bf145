#!/usr/bin/env bash
# Clip probe rate: Tavrel's clip device (GStreamer pads + duration from the
# time stamps) on 50 copies of the 1080i fixture, against gst-discoverer-1.0
# (all files in one process) and ffprobe (one process per file, as it takes
# one input) on the same files. Prints clips per second and the ratios.
# Usage: bench/probe.sh [BUILD_DIR]   (after ./scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
probe="$build/bin/tavrel_clipprobe"
fixtures="$build/fixtures"
count=50
[ -x "$probe" ] || { echo "missing $probe: run ./scripts/build.sh first" >&2; exit 2; }
tests/fixtures/make_fixtures.sh "$fixtures"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
files=()
for i in $(seq -w 1 "$count"); do
  cp "$fixtures/cam1080i.m2ts" "$work/clip$i.m2ts"
  files+=("$work/clip$i.m2ts")
done
cat "${files[@]}" > /dev/null   # every run reads from the page cache

now() { date +%s.%N; }
rate() { awk -v n="$count" -v s="$1" -v e="$2" 'BEGIN { printf "%.1f", n / (e - s) }'; }

start=$(now)
"$probe" "${files[@]}" > "$work/tavrel.txt" 2> /dev/null
ours=$(rate "$start" "$(now)")
bad=$(awk -F'\t' '$2 != "2.0000" || $3 != 1 || $4 != 1' "$work/tavrel.txt" | wc -l)
[ "$bad" -eq 0 ] || { echo "tavrel_clipprobe measured $bad clips wrong" >&2; exit 1; }

start=$(now)
gst-discoverer-1.0 "${files[@]}" > /dev/null 2>&1
discoverer=$(rate "$start" "$(now)")

start=$(now)
for f in "${files[@]}"; do
  ffprobe -v error -show_entries format=duration:stream=codec_type -of csv "$f" > /dev/null
done
ffprobe=$(rate "$start" "$(now)")

printf '%-32s %8s clips/s\n' "tavrel clip device" "$ours" "gst-discoverer-1.0" "$discoverer" "ffprobe (one per file)" "$ffprobe"
awk -v o="$ours" -v d="$discoverer" -v f="$ffprobe" \
  'BEGIN { printf "ratio vs gst-discoverer-1.0: %.2fx\nratio vs ffprobe:            %.2fx\n", o / d, o / f }'
