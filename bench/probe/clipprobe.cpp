// Probes the clips named on the command line as the clip list does, one
// after the other on this thread, and prints for each its duration in
// seconds and its video and audio source counts; then the rate in clips
// per second on standard error.
#include "src/preview/mediadevice.h"

#include <gst/gst.h>

#include <chrono>
#include <cstdio>

int main(int argc, char *argv[])
{
    gst_init(&argc, &argv);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 1; i < argc; ++i) {
        const Tm2tsFileDevice device(QString::fromLocal8Bit(argv[i]));
        std::printf("%s\t%.4f\t%d\t%d\n", argv[i], double(device.Duration()) / 1e7, device.VideoCount(),
                    device.AudioCount());
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::fprintf(stderr, "%d clips in %.3f s: %.1f clips/s\n", argc - 1, elapsed.count(),
                 elapsed.count() > 0 ? (argc - 1) / elapsed.count() : 0.0);
    return 0;
}
