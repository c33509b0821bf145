// Preview timings on one clip, as the list page uses the media system:
// selecting the clip until its first picture has arrived, and one image
// step until its picture has arrived. Prints the median of 20 of each, in
// milliseconds: "first <ms>" and "step <ms>".
#include "src/preview/mediadevice.h"
#include "src/preview/mediasystem.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gst/gst.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 20;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return (values[values.size() / 2] + values[(values.size() - 1) / 2]) / 2;
}

// Handles events until a picture other than before has arrived.
void WaitForPicture(const TMediaSystem &system, const std::shared_ptr<const TVideoFrame> &before)
{
    QElapsedTimer limit;
    limit.start();
    while (system.LastFrame() == before || !system.LastFrame()) {
        if (limit.elapsed() > 10'000) {
            std::fprintf(stderr, "no picture within 10 s\n");
            std::exit(1);
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    gst_init(&argc, &argv);
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CLIP.m2ts\n", argv[0]);
        return 2;
    }
    Tm2tsFileDevice clip(QString::fromLocal8Bit(argv[1]));
    if (clip.VideoCount() < 1) {
        std::fprintf(stderr, "%s: no picture\n", argv[1]);
        return 1;
    }
    TMediaSystem system;
    system.SetMaxSpeed(0);
    TVideoSource *video = clip.AllVideoSources().Get(0);
    TAudioSource *audio = clip.AudioCount() > 0 ? clip.AllAudioSources().Get(0) : NoAudio;

    std::vector<double> first, step;
    QElapsedTimer timer;
    for (int run = 0; run < kRuns; ++run) {
        system.Close();
        timer.start();
        system.SetSources(video, audio);
        system.ToStart();
        WaitForPicture(system, nullptr);
        first.push_back(timer.nsecsElapsed() / 1e6);
    }
    system.ToStart();
    for (int run = 0; run < kRuns; ++run) {
        const auto before = system.LastFrame();
        timer.start();
        system.ForwardImage();
        WaitForPicture(system, before);
        step.push_back(timer.nsecsElapsed() / 1e6);
    }
    system.Close();
    std::printf("first %.1f\nstep %.1f\n", Median(first), Median(step));
    return 0;
}
