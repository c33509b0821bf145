#include "src/authoring/framerate.h"

#include <cmath>

namespace {

struct TRate
{
    const char *Text;
    double PictureDuration;  // 100 ns
};

constexpr double kUnitsPerSecond = 10'000'000;

constexpr TRate kRates[] = {
    {"23.976", kUnitsPerSecond * 1001 / 24000},
    {"24", kUnitsPerSecond / 24},
    {"25", kUnitsPerSecond / 25},
    {"29.97", kUnitsPerSecond * 1001 / 30000},
    {"50", kUnitsPerSecond / 50},
    {"59.94", kUnitsPerSecond * 1001 / 60000},
};

constexpr double kTolerance = 0.01;

}  // namespace

QByteArray FrameRateOfPicture(int64_t pictureDuration)
{
    if (pictureDuration <= 0)
        return {};
    // Nearest, since 23.976 and 24 differ by only 0.1 % and time stamps
    // of 90 kHz round a 23.976 picture by up to one tick.
    const TRate *best = nullptr;
    double bestGap = 0;
    for (const TRate &rate : kRates) {
        const double gap = std::fabs(double(pictureDuration) - rate.PictureDuration) / rate.PictureDuration;
        if (!best || gap < bestGap) {
            best = &rate;
            bestGap = gap;
        }
    }
    return bestGap <= kTolerance ? QByteArray(best->Text) : QByteArray();
}
