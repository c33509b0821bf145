#!/usr/bin/env bash
# Throughput of the demultiplexer (eac3to stand-in) on about 1 GB of
# camcorder-like clips, next to `ffmpeg -c copy` extracting the same two
# streams and a plain `cat` of the inputs, all run here on the same files.
#
#   bench/demux/run.sh [path/to/eac3to] [size in MB, default 1024]
#
# Prints each time, the throughput and the ratios; "ffmpeg/eac3to" above 1
# means the demultiplexer is faster than ffmpeg.
set -euo pipefail
shopt -s inherit_errexit
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../seedclip.sh"
tool=${1:-$here/../../build/bin/eac3to}
target_mb=${2:-1024}
[ -x "$tool" ] || { echo "no demultiplexer at $tool (build first)" >&2; exit 2; }
tool=$(realpath "$tool")

work=$(mktemp -d "${TMPDIR:-/tmp}/demux-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# One 20 s 1080i clip at a camcorder's 24 Mbit/s, copied up to the size
# asked for: the clips of a disc all look alike to a demultiplexer.
echo "making the clips in $work ..."
make_seed_clip "$work/seed.m2ts" 24M 30000000
seed_bytes=$(stat -c %s "$work/seed.m2ts")
copies=$(( (target_mb * 1024 * 1024 + seed_bytes - 1) / seed_bytes ))
clips=()
: > "$work/list.txt"
for i in $(seq -w 1 "$copies"); do
  cp "$work/seed.m2ts" "$work/clip$i.m2ts"
  clips+=("$work/clip$i.m2ts")
  echo "file '$work/clip$i.m2ts'" >> "$work/list.txt"
done
rm "$work/seed.m2ts"
joined=$(IFS=+; echo "${clips[*]}")
total_bytes=$(( seed_bytes * copies ))
mkdir "$work/out"

# Warm the page cache so that every contender reads from memory.
cat "${clips[@]}" > /dev/null

run_cat() { cat "${clips[@]}" > /dev/null; }
run_tool() { (cd "$work/out" && "$tool" -demux "$joined"); }
run_ffmpeg() {
  ffmpeg -hide_banner -loglevel error -y -f concat -safe 0 -i "$work/list.txt" \
    -map 0:v:0 -c copy -f h264 "$work/out/ref.h264" -map 0:a:0 -c copy -f ac3 "$work/out/ref.ac3"
}

# measure NAME FUNCTION: best of three runs, as "wall cpu" seconds (cpu =
# user + system time of the run, which other work on the machine does not
# inflate). Outputs are removed before each run.
measure() {
  local best_wall="" best_cpu="" times wall user sys cpu
  for _ in 1 2 3; do
    rm -f "$work/out/"*
    times=$( { TIMEFORMAT='%R %U %S'; time "$2" > /dev/null 2> "$work/$1.err"; } 2>&1 ) ||
      { echo "$1 failed:" >&2; cat "$work/$1.err" >&2; exit 2; }
    read -r wall user sys <<< "$times"
    cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')
    if [ -z "$best_cpu" ] || awk -v a="$cpu" -v b="$best_cpu" 'BEGIN { exit !(a < b) }'; then
      best_cpu=$cpu
      best_wall=$wall
    fi
  done
  echo "$best_wall $best_cpu"
}

read -r w_cat c_cat <<< "$(measure cat run_cat)"
read -r w_tool c_tool <<< "$(measure eac3to run_tool)"
read -r w_ffmpeg c_ffmpeg <<< "$(measure ffmpeg run_ffmpeg)"

awk -v bytes="$total_bytes" -v n="$copies" -v load="$(cut -d' ' -f1 /proc/loadavg)" \
    -v wc="$w_cat" -v cc="$c_cat" -v wt="$w_tool" -v ct="$c_tool" -v wf="$w_ffmpeg" -v cf="$c_ffmpeg" 'BEGIN {
  mb = bytes / 1048576
  printf "input: %d clips, %.0f MB (load average %s)\n", n, mb, load
  printf "%-8s %8s %8s %10s\n", "", "wall s", "cpu s", "MB/cpu s"
  printf "%-8s %8.2f %8.2f %10.0f\n", "cat", wc, cc, mb / cc
  printf "%-8s %8.2f %8.2f %10.0f\n", "eac3to", wt, ct, mb / ct
  printf "%-8s %8.2f %8.2f %10.0f\n", "ffmpeg", wf, cf, mb / cf
  printf "ratio ffmpeg/eac3to: cpu %.2f, wall %.2f (above 1: eac3to is faster)\n", cf / ct, wf / wt
  printf "ratio cat/eac3to:    cpu %.2f, wall %.2f (1: as fast as reading the files)\n", cc / ct, wc / wt
}'
