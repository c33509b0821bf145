# Sourced by the benchmarks. make_seed_clip FILE VIDEO_BITRATE MUX_RATE
# writes a 20 s 1080i camcorder-like clip (H.264 with B-frames, AC-3
# stereo, 192-byte packets) that a benchmark copies up to the size it wants.
make_seed_clip() {
  ffmpeg -hide_banner -loglevel error -y \
    -f lavfi -i "testsrc2=size=1920x1080:rate=25:duration=20" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=20" \
    -map 0:v -map 1:a -c:v libx264 -preset ultrafast -g 12 -bf 2 -pix_fmt yuv420p \
    -b:v "$2" -maxrate "$2" -bufsize 12M -flags +ildct+ilme -x264opts tff=1 \
    -c:a ac3 -b:a 256k -ar 48000 -ac 2 -streamid 0:0x1011 -streamid 1:0x1100 \
    -f mpegts -mpegts_m2ts_mode 1 -mpegts_pmt_start_pid 0x100 -muxrate "$3" "$1"
}
