#!/usr/bin/env bash
# Times building and writing the UDF image of a 2 GB disc folder to a stdio:
# file with the burner, next to `cp -r` of the same tree, and prints the
# ratio (aim: within 1.3). Both outputs are synced to disk before the clock
# stops: the burner syncs its stdio file at the end, the copy is synced
# file by file. Each is run twice and the better time kept, since the
# machine may be busy with other work.
#
#   bench/burn/bench_burn.sh [path/to/imgburn]
set -euo pipefail
cd "$(dirname "$0")/../.."
burner=$(realpath "${1:-build/bin/imgburn}")
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrel-bench-burn-XXXXXX")
trap 'rm -rf "$work"' EXIT

disc=$work/disc
mkdir -p "$disc"/BDMV/{STREAM,PLAYLIST,CLIPINF,BACKUP/PLAYLIST,BACKUP/CLIPINF} "$disc"/CERTIFICATE/BACKUP
echo "Making a 2 GB disc folder in $work ..."
head -c 1400M /dev/urandom > "$disc/BDMV/STREAM/00000.m2ts"
head -c 600M /dev/urandom > "$disc/BDMV/STREAM/00001.m2ts"
for i in $(seq -w 0 199); do
  head -c 40K /dev/urandom > "$disc/BDMV/CLIPINF/clip$i.clpi"
  cp "$disc/BDMV/CLIPINF/clip$i.clpi" "$disc/BDMV/BACKUP/CLIPINF/"
done
head -c 300 /dev/urandom > "$disc/BDMV/PLAYLIST/00000.mpls"
cp "$disc/BDMV/PLAYLIST/00000.mpls" "$disc/BDMV/BACKUP/PLAYLIST/"
: > "$disc/CERTIFICATE/id.bdmv"
: > "$disc/CERTIFICATE/BACKUP/id.bdmv"
cat "$disc"/BDMV/STREAM/* > /dev/null   # the same warm cache for both runs

now() { date +%s.%N; }

time_copy() {
  rm -rf "$work/copy"
  sync
  local start end
  start=$(now)
  cp -r "$disc" "$work/copy"
  find "$work/copy" -type f -print0 | xargs -0 sync
  end=$(now)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }'
}

time_burn() {
  rm -f "$work/disc.img"
  sync
  local start end
  start=$(now)
  "$burner" /MODE BUILD /BUILDOUTPUTMODE DEVICE /SRC "$disc/BDMV|$disc/CERTIFICATE" /FILESYSTEM UDF \
    /UDFREVISION 2.50 /VERIFY NO /VOLUMELABEL "Bench" /START /DEST "stdio:$work/disc.img" > /dev/null
  end=$(now)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }'
}

best() { printf '%s\n' "$@" | sort -g | head -1; }

copy1=$(time_copy); burn1=$(time_burn)
copy2=$(time_copy); burn2=$(time_burn)
copy=$(best "$copy1" "$copy2")
burn=$(best "$burn1" "$burn2")
size=$(du -sb "$disc" | cut -f1)
echo "tree: $size bytes"
echo "cp -r:          $copy s  (runs: $copy1 $copy2)"
echo "imgburn stdio:  $burn s  (runs: $burn1 $burn2)"
echo "ratio imgburn / cp -r: $(awk -v a="$burn" -v b="$copy" 'BEGIN { printf "%.2f", a / b }')"
