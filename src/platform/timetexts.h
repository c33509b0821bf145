// Media times as texts: a frame-accurate position for the player, a
// duration in words for totals, a chapter time for the meta file and the
// disc texts. Pure functions, usable from any thread; times are int64_t
// counts of 100 ns, texts are 8-bit.
#pragma once

#include <QByteArray>

#include <cstdint>

// "h:mm:ss:ff" where ff counts frames of frameDuration (which must be
// positive) within the second; 20 µs are added for the frame count only,
// so a position a hair before a frame boundary shows the next frame.
QByteArray FormatFrameTime(std::int64_t time, std::int64_t frameDuration);

// "1h 02mn 03s", "2mn 03s", "3s", or "" under one second.
QByteArray FormatDuration(std::int64_t time);

// "hh:mm:ss.mmm", hours not wrapped.
QByteArray FormatChapterTime(std::int64_t time);
