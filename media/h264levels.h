// The limits an H.264 level puts on a stream (Annex A), as far as a muxer
// needs them to size a decoder's buffers.
#pragma once

#include <cstdint>

#include "media/h264parser.h"

// The highest bit rate the stream's profile and level allow at the NAL
// level (MaxBR times cpbBrNalFactor), in bit/s; 0 for a level H.264 does
// not define.
uint64_t LevelMaxNalBitRate(const TH264Sps &sps);
