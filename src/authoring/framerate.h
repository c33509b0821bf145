// The frame rate of a disc's clips, as the muxer's meta file writes it.
#pragma once

#include <QByteArray>

#include <cstdint>

// Rate written when no clip of a disc tells its own (PAL camcorders).
inline constexpr char kDefaultFrameRate[] = "25";

// "23.976", "24", "25", "29.97", "50" or "59.94": the disc rate whose
// picture lasts closest to pictureDuration (100 ns), within 1 %; empty when
// the duration is unknown (0) or matches none of them.
QByteArray FrameRateOfPicture(int64_t pictureDuration);
