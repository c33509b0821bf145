#include "authoring/framerate.h"

#include <cmath>

namespace {

struct TRate {
    const char *Text;
    double PictureDuration; // 100 ns
};

constexpr double UnitsPerSecond = 10'000'000;

constexpr TRate Rates[] = {
    {"23.976", UnitsPerSecond * 1001 / 24000}, {"24", UnitsPerSecond / 24},
    {"25", UnitsPerSecond / 25},               {"29.97", UnitsPerSecond * 1001 / 30000},
    {"50", UnitsPerSecond / 50},               {"59.94", UnitsPerSecond * 1001 / 60000},
};

constexpr double Tolerance = 0.01;

} // namespace

QByteArray FrameRateOfPicture(int64_t pictureDuration)
{
    if (pictureDuration <= 0)
        return {};
    // Nearest, since 23.976 and 24 differ by only 0.1 % and time stamps
    // of 90 kHz round a 23.976 picture by up to one tick.
    const TRate *best = nullptr;
    double bestGap = 0;
    for (const TRate &rate : Rates) {
        const double gap = std::fabs(double(pictureDuration) - rate.PictureDuration) / rate.PictureDuration;
        if (!best || gap < bestGap) {
            best = &rate;
            bestGap = gap;
        }
    }
    return bestGap <= Tolerance ? QByteArray(best->Text) : QByteArray();
}
