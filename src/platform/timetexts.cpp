#include "src/platform/timetexts.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::int64_t kUnitsPerSecond = 10'000'000;
constexpr std::int64_t kUnitsPerMillisecond = 10'000;
// Added for the frame part only: a position this close before a frame
// boundary counts the next frame.
constexpr std::int64_t kFrameRoundUp = 200;

struct THms
{
    int hours, minutes, seconds;
};

THms SplitSeconds(std::int64_t totalSeconds)
{
    return {int(totalSeconds / 60 / 60), int(totalSeconds / 60 % 60), int(totalSeconds % 60)};
}

// printf-style formatting into an 8-bit text.
template <class... Args> QByteArray Format(const char *format, Args... args)
{
    char text[64];
    const int length = std::snprintf(text, sizeof text, format, args...);
    return QByteArray(text, length < 0 ? 0 : std::min<int>(length, sizeof text - 1));
}

}  // namespace

QByteArray FormatFrameTime(std::int64_t time, std::int64_t frameDuration)
{
    const int frames = int((time + kFrameRoundUp) % kUnitsPerSecond / frameDuration);
    const THms t = SplitSeconds(time / kUnitsPerSecond);
    return Format("%d:%.2d:%.2d:%.2d", t.hours, t.minutes, t.seconds, frames);
}

QByteArray FormatDuration(std::int64_t time)
{
    const THms t = SplitSeconds(time / kUnitsPerSecond);
    if (t.hours > 0)
        return Format("%dh %.2dmn %.2ds", t.hours, t.minutes, t.seconds);
    if (t.minutes > 0)
        return Format("%dmn %.2ds", t.minutes, t.seconds);
    if (t.seconds > 0)
        return Format("%ds", t.seconds);
    return {};
}

QByteArray FormatChapterTime(std::int64_t time)
{
    const std::int64_t totalMs = time / kUnitsPerMillisecond;
    const THms t = SplitSeconds(totalMs / 1000);
    return Format("%.2d:%.2d:%.2d.%.3d", t.hours, t.minutes, t.seconds, int(totalMs % 1000));
}
