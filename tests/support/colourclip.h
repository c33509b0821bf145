// The ground truth of the colour fixture clips (every picture one flat
// colour telling its number, see tests/fixtures/make_fixtures.sh): ffmpeg
// decodes the clip on its own and gives each picture's presentation time
// and colour, and a picture shown by the preview is known by its colour.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

struct TTruthPicture
{
    std::int64_t Time = 0;  // 100-ns units from the clip's first picture
    int Red = 0, Green = 0, Blue = 0;
};

class TColourTruth
{
public:
    // Decodes path with ffmpeg; empty when ffmpeg failed.
    explicit TColourTruth(const QString &path);

    const std::vector<TTruthPicture> &Pictures() const { return FPictures; }
    int Count() const { return int(FPictures.size()); }
    // The step between two pictures (100-ns units).
    std::int64_t PictureDuration() const;
    // The picture of that colour: the nearest by far, or -1 when none is
    // near enough or two are equally near.
    int Match(int red, int green, int blue) const;
    // The picture on screen at time (100-ns units from the first picture).
    int At(std::int64_t time) const;

private:
    std::vector<TTruthPicture> FPictures;
};

// The colour in the middle of a 32-bit picture (blue, green, red, unused
// byte in memory order), as the media system and Qt's RGB32 images hold
// it: {red, green, blue}.
struct TColour
{
    int Red = 0, Green = 0, Blue = 0;
};
TColour MiddleColour(const unsigned char *pixels, int width, int height, int stride);

// The time a position text "h:mm:ss:ff" names, the images counted in
// pictureDuration; -1 when the text is not of that form.
std::int64_t TimeOfPositionText(const QString &text, std::int64_t pictureDuration);
