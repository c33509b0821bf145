#!/usr/bin/env bash
# Throughput of the AVCHD muxer (tsMuxeR stand-in) on about 1 GB of
# elementary streams (one H.264 and one AC-3 stream, as the demultiplexer
# leaves them), next to ffmpeg remuxing the same content to M2TS from the
# clips (`-f concat`, `-c copy -mpegts_m2ts_mode 1`: ffmpeg cannot time raw
# H.264 with B-frames) and a plain `cat` of the two streams to a file.
#
#   bench/mux/run.sh [path/to/tsmuxer] [size in MB, default 1024]
#
# Prints each time, the throughput and the ratios; "ffmpeg/tsmuxer" above 1
# means the muxer is faster than ffmpeg.
set -euo pipefail
shopt -s inherit_errexit
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../seedclip.sh"
tool=${1:-$here/../../build/bin/tsmuxer}
target_mb=${2:-1024}
[ -x "$tool" ] || { echo "no muxer at $tool (build first)" >&2; exit 2; }
tool=$(realpath "$tool")

work=$(mktemp -d "${TMPDIR:-/tmp}/mux-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# One 20 s 1080i clip at a camcorder's 24 Mbit/s with B-frames, repeated up
# to the size asked for.
echo "making the streams in $work ..."
make_seed_clip "$work/seed.m2ts" 24M 30000000
ffmpeg -hide_banner -loglevel error -y -i "$work/seed.m2ts" \
  -map 0:v -c:v copy -bsf:v h264_mp4toannexb -f h264 "$work/seed.h264" \
  -map 0:a -c:a copy -f ac3 "$work/seed.ac3"
seed_bytes=$(( $(stat -c %s "$work/seed.h264") + $(stat -c %s "$work/seed.ac3") ))
copies=$(( (target_mb * 1024 * 1024 + seed_bytes - 1) / seed_bytes ))
: > "$work/list.txt"
: > "$work/all.h264"
: > "$work/all.ac3"
for _ in $(seq 1 "$copies"); do
  echo "file '$work/seed.m2ts'" >> "$work/list.txt"
  cat "$work/seed.h264" >> "$work/all.h264"
  cat "$work/seed.ac3" >> "$work/all.ac3"
done
total_bytes=$(( seed_bytes * copies ))
printf 'MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr  --custom-chapters=00:00:00.000 --vbv-len=500\r\nV_MPEG4/ISO/AVC, "%s", fps=25, insertSEI, contSPS\r\nA_AC3, "%s"\r\n' \
  "$work/all.h264" "$work/all.ac3" > "$work/disc.meta"

# Warm the page cache so that every contender reads from memory.
cat "$work/all.h264" "$work/all.ac3" "$work/seed.m2ts" > /dev/null

run_cat() { cat "$work/all.h264" "$work/all.ac3" > "$work/cat.out"; }
# Exit status 1 means done with warnings (a 24 Mbit/s stream peaks above
# what DVD players read).
run_tool() { "$tool" "$work/disc.meta" "$work/disc/" > /dev/null || [ $? -eq 1 ]; }
run_ffmpeg() {
  ffmpeg -hide_banner -loglevel error -y -f concat -safe 0 -i "$work/list.txt" \
    -map 0 -c copy -f mpegts -mpegts_m2ts_mode 1 -muxrate 30000000 "$work/ref.m2ts"
}
clean() { rm -rf "$work/cat.out" "$work/disc" "$work/ref.m2ts"; }

# measure FUNCTION: best of three runs, "wall cpu" seconds (cpu = user +
# system time of the run, which other work on the machine does not inflate).
measure() {
  local best_wall="" best_cpu="" wall user sys
  for _ in 1 2 3; do
    clean
    sync
    read -r wall user sys < <({ TIMEFORMAT='%R %U %S'; time "$1" > /dev/null 2>&1; } 2>&1)
    if [ -z "$best_wall" ] || [ "$(echo "$wall < $best_wall" | bc -l)" = 1 ]; then
      best_wall=$wall
      best_cpu=$(echo "$user + $sys" | bc -l)
    fi
  done
  clean
  echo "$best_wall $best_cpu"
}

echo "input: $(( total_bytes / 1048576 )) MB of H.264 + AC-3 ($copies copies of a 20 s 1080i clip)"
read -r cat_wall cat_cpu < <(measure run_cat)
read -r ffmpeg_wall ffmpeg_cpu < <(measure run_ffmpeg)
read -r tool_wall tool_cpu < <(measure run_tool)

rate() { echo "scale=1; $total_bytes / 1048576 / $1" | bc -l; }
printf '%-10s %8.2f s wall %8.2f s cpu %8s MB/s\n' cat "$cat_wall" "$cat_cpu" "$(rate "$cat_wall")"
printf '%-10s %8.2f s wall %8.2f s cpu %8s MB/s\n' ffmpeg "$ffmpeg_wall" "$ffmpeg_cpu" "$(rate "$ffmpeg_wall")"
printf '%-10s %8.2f s wall %8.2f s cpu %8s MB/s\n' tsmuxer "$tool_wall" "$tool_cpu" "$(rate "$tool_wall")"
echo "ratio ffmpeg/tsmuxer (wall): $(echo "scale=2; $ffmpeg_wall / $tool_wall" | bc -l)  (aim: 2.5 or more)"
echo "ratio ffmpeg/tsmuxer (cpu):  $(echo "scale=2; $ffmpeg_cpu / $tool_cpu" | bc -l)"
echo "ratio tsmuxer/cat (wall):    $(echo "scale=2; $tool_wall / $cat_wall" | bc -l)"
