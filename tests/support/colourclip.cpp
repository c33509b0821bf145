#include "tests/support/colourclip.h"

#include <QProcess>
#include <QRegularExpression>

#include <cstdlib>
#include <limits>

namespace {

// Two colours of the fixture differ by 23 in at least one of red, green
// and blue; conversions and coding move a flat colour by a few units.
constexpr int kFarthestMatch = 9;

int Distance(const TTruthPicture &picture, int red, int green, int blue)
{
    return std::max(
        {std::abs(picture.Red - red), std::abs(picture.Green - green), std::abs(picture.Blue - blue)});
}

}  // namespace

TColourTruth::TColourTruth(const QString &path)
{
    // One pixel of each picture, averaged over the middle 16 × 16, and the
    // pictures' times as the showinfo filter reads them, in the order the
    // decoder gives the pictures out.
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-hide_banner", "-nostats", "-loglevel", "info", "-i", path, "-map", "0:v:0", "-fps_mode",
                  "passthrough", "-vf", "crop=16:16,scale=1:1,showinfo", "-f", "rawvideo", "-pix_fmt",
                  "rgb24", "-"});
    if (!ffmpeg.waitForFinished(120'000) || ffmpeg.exitCode() != 0)
        return;
    const QByteArray colours = ffmpeg.readAllStandardOutput();
    const QString log = QString::fromUtf8(ffmpeg.readAllStandardError());
    const auto base = QRegularExpression(QStringLiteral(R"(config in time_base: (\d+)/(\d+))")).match(log);
    if (!base.hasMatch())
        return;
    const std::int64_t numerator = base.captured(1).toLongLong(), denominator = base.captured(2).toLongLong();
    std::int64_t first = 0;
    auto frames = QRegularExpression(QStringLiteral(R"(\] n: *(\d+) pts: *(-?\d+))")).globalMatch(log);
    while (frames.hasNext()) {
        const auto frame = frames.next();
        const int n = frame.captured(1).toInt();
        const std::int64_t pts = frame.captured(2).toLongLong();
        if (n != int(FPictures.size()) || colours.size() < 3 * (n + 1)) {
            FPictures.clear();
            return;
        }
        if (n == 0)
            first = pts;
        TTruthPicture picture;
        picture.Time = (pts - first) * numerator * 10'000'000 / denominator;
        picture.Red = static_cast<unsigned char>(colours[3 * n]);
        picture.Green = static_cast<unsigned char>(colours[3 * n + 1]);
        picture.Blue = static_cast<unsigned char>(colours[3 * n + 2]);
        FPictures.push_back(picture);
    }
}

std::int64_t TColourTruth::PictureDuration() const
{
    return FPictures.size() < 2 ? 0 : FPictures[1].Time - FPictures[0].Time;
}

int TColourTruth::Match(int red, int green, int blue) const
{
    int best = -1, bestDistance = std::numeric_limits<int>::max(), secondDistance = bestDistance;
    for (int i = 0; i < Count(); ++i) {
        const int distance = Distance(FPictures[i], red, green, blue);
        if (distance < bestDistance) {
            secondDistance = bestDistance;
            bestDistance = distance;
            best = i;
        } else if (distance < secondDistance) {
            secondDistance = distance;
        }
    }
    return bestDistance <= kFarthestMatch && secondDistance > bestDistance ? best : -1;
}

int TColourTruth::At(std::int64_t time) const
{
    int shown = -1;
    for (int i = 0; i < Count() && FPictures[i].Time <= time; ++i)
        shown = i;
    return shown;
}

TColour MiddleColour(const unsigned char *pixels, int width, int height, int stride)
{
    const unsigned char *pixel = pixels + (height / 2) * stride + (width / 2) * 4;
    return {pixel[2], pixel[1], pixel[0]};
}

std::int64_t TimeOfPositionText(const QString &text, std::int64_t pictureDuration)
{
    const auto parts = QRegularExpression(QStringLiteral(R"(^(\d+):(\d\d):(\d\d):(\d\d)$)")).match(text);
    if (!parts.hasMatch())
        return -1;
    const std::int64_t seconds = (parts.captured(1).toLongLong() * 60 + parts.captured(2).toLongLong()) * 60
                                 + parts.captured(3).toLongLong();
    return seconds * 10'000'000 + parts.captured(4).toLongLong() * pictureDuration;
}
