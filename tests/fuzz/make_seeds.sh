#!/usr/bin/env bash
# Makes the seed corpora of the fuzz targets that read media, from the
# fixture clips (first argument) into the folder given (second argument):
# demux_clip/ and clip_times/ hold small clips, sound and damaged ones;
# mux_streams/ holds inputs of fuzz_mux_streams (two bytes giving the length
# of the H.264 stream, the H.264 stream, then the AC-3 stream).
set -euo pipefail
fixtures=${1:?usage: make_seeds.sh FIXTURE_FOLDER OUTPUT_FOLDER}
out=${2:?usage: make_seeds.sh FIXTURE_FOLDER OUTPUT_FOLDER}
rm -rf "$out"
mkdir -p "$out"/demux_clip "$out"/clip_times "$out"/mux_streams
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
ff=(ffmpeg -hide_banner -loglevel error -y)

for clip in small1s videoonly audioonly truncated bad empty; do
  cp "$fixtures/$clip.m2ts" "$out/demux_clip/"
done
# Video without parameter sets: the probe finds none to put in front of
# the first picture.
"${ff[@]}" -i "$fixtures/videoonly.m2ts" -map 0:v -c copy -bsf:v 'filter_units=remove_types=7|8' \
  -f mpegts -mpegts_m2ts_mode 1 "$out/demux_clip/no-parameter-sets.m2ts"
cp "$out"/demux_clip/* "$out/clip_times/"

"${ff[@]}" -f lavfi -i testsrc2=size=64x64:rate=25:duration=0.4 -c:v libx264 -preset veryfast -g 5 -bf 1 \
  -pix_fmt yuv420p -f h264 "$tmp/video.h264"
"${ff[@]}" -f lavfi -i sine=frequency=440:sample_rate=48000:duration=0.1 -c:a ac3 -f ac3 "$tmp/audio.ac3"
length=$(stat -c %s "$tmp/video.h264")
[ "$length" -lt 65536 ] || { echo "the seed's H.264 stream is too long: $length bytes" >&2; exit 1; }
{
  printf "\\x$(printf %02x $((length >> 8)))\\x$(printf %02x $((length & 255)))"
  cat "$tmp/video.h264" "$tmp/audio.ac3"
} > "$out/mux_streams/video-and-audio"
{ printf '\xff\xff'; cat "$tmp/video.h264"; } > "$out/mux_streams/video-only"
