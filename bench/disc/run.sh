#!/usr/bin/env bash
# One whole disc through the three programs, as "Tous Disques" and
# "Graver" run them: the demultiplexer joins the clips, the muxer builds
# the AVCHD tree from the meta file, the burner writes its UDF image to a
# file. Next to it, in the same run, three `cp` of the clips (the same
# amount of data as the three stages read). Every output is synced to disk
# before its clock stops. Prints each stage's time and share of the disc,
# and the ratio disc / three copies (aim: within 1.5).
#
#   bench/disc/run.sh [folder of eac3to, tsmuxer and imgburn] [size in MB, default 4400]
#
# A disc of 4400 MB needs about four times that much free room in TMPDIR.
set -euo pipefail
shopt -s inherit_errexit
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../seedclip.sh"
bin=$(realpath "${1:-$here/../../build/bin}")
target_mb=${2:-4400}
for tool in eac3to tsmuxer imgburn; do
  [ -x "$bin/$tool" ] || { echo "no $tool in $bin (build first)" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/disc-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/clips" "$work/flux" "$work/avchd"

# One 20 s 1080i clip at the 17 Mbit/s an AVCHD disc on DVD allows,
# copied up to the size asked for.
echo "making $target_mb MB of clips in $work ..."
make_seed_clip "$work/seed.m2ts" 16M 30000000
seed_bytes=$(stat -c %s "$work/seed.m2ts")
copies=$(( (target_mb * 1000 * 1000 + seed_bytes - 1) / seed_bytes ))
clips=()
for i in $(seq -w 1 "$copies"); do
  cp "$work/seed.m2ts" "$work/clips/$i.m2ts"
  clips+=("$work/clips/$i.m2ts")
done
rm "$work/seed.m2ts"
sync
joined=$(IFS=+; echo "${clips[*]}")
base=$(basename "${clips[0]}" .m2ts)
total_bytes=$(( seed_bytes * copies ))

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }
sync_tree() { find "$1" -type f -print0 | xargs -0 -r sync; }

# Each stage reads the output of the one before, as on a real disc. Exit
# status 1 (done with warnings) is a finished stage too.
stage_demux() {
  (cd "$work/flux" && "$bin/eac3to" -demux "$joined" > /dev/null) || [ $? -eq 1 ]
  sync_tree "$work/flux"
}
stage_mux() {
  local chapters="" t=0 i
  for i in "${clips[@]}"; do chapters+="${chapters:+;}$(awk -v s="$t" 'BEGIN {
    printf "%02d:%02d:%02d.%03d", s / 3600, s % 3600 / 60, s % 60, (s - int(s)) * 1000 }')"
    t=$(( t + 20 ))
  done
  printf 'MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr  --custom-chapters=%s --vbv-len=500\r\n' \
    "$chapters" > "$work/disc.meta"
  printf 'V_MPEG4/ISO/AVC, "%s", fps=25, insertSEI, contSPS\r\nA_AC3, "%s"\r\n' \
    "$work/flux/$base.h264" "$work/flux/$base.ac3" >> "$work/disc.meta"
  "$bin/tsmuxer" "$work/disc.meta" "$work/avchd/Disque 01" > /dev/null || [ $? -eq 1 ]
  sync_tree "$work/avchd"
}
stage_image() {
  "$bin/imgburn" /MODE BUILD /BUILDOUTPUTMODE IMAGEFILE /DEST "$work/disc.img" \
    /SRC "$work/avchd/Disque 01/BDMV|$work/avchd/Disque 01/CERTIFICATE" /FILESYSTEM UDF \
    /UDFREVISION 2.50 /VERIFY NO /VOLUMELABEL "Bench - Disque 01" /START > /dev/null || [ $? -eq 1 ]
  sync "$work/disc.img"
}
copy_clips() {
  cp -r "$work/clips" "$work/copy"
  sync_tree "$work/copy"
}

# The disc and the copies take turns, so that load on the machine falls
# on both alike; the copies are removed as they are timed.
start=$(now); stage_demux; t_demux=$(since "$start")
start=$(now); copy_clips; t_copy1=$(since "$start"); rm -rf "$work/copy"
start=$(now); stage_mux; t_mux=$(since "$start")
rm -rf "$work/flux"
start=$(now); copy_clips; t_copy2=$(since "$start"); rm -rf "$work/copy"
start=$(now); stage_image; t_image=$(since "$start")
start=$(now); copy_clips; t_copy3=$(since "$start"); rm -rf "$work/copy"

awk -v bytes="$total_bytes" -v n="$copies" -v load="$(cut -d' ' -f1 /proc/loadavg)" \
    -v d="$t_demux" -v m="$t_mux" -v i="$t_image" -v c1="$t_copy1" -v c2="$t_copy2" -v c3="$t_copy3" 'BEGIN {
  disc = d + m + i; copies = c1 + c2 + c3
  printf "disc: %d clips, %.0f MB (load average at the end %s)\n", n, bytes / 1e6, load
  printf "%-14s %8s %7s\n", "", "s", "share"
  printf "%-14s %8.2f %6.0f%%\n", "demux", d, 100 * d / disc
  printf "%-14s %8.2f %6.0f%%\n", "mux", m, 100 * m / disc
  printf "%-14s %8.2f %6.0f%%\n", "image file", i, 100 * i / disc
  printf "%-14s %8.2f\n", "whole disc", disc
  printf "%-14s %8.2f (%.2f + %.2f + %.2f)\n", "three cp", copies, c1, c2, c3
  printf "ratio disc / three cp: %.2f (aim: 1.5 at most)\n", disc / copies
}'
