// The media system on fixture clips: pictures, steps, playing, maximum
// speed, volume, clips without sound, clips that cannot be read, and many
// quick clip changes.
#include "src/preview/mediadevice.h"
#include "src/preview/mediasystem.h"
#include "src/preview/notifier.h"
#include "tests/support/waituntil.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace {

constexpr std::int64_t kMillisecond = 10'000;

// How long the first picture is waited for: only a picture that never comes
// fails. How soon it comes is measured by bench/preview.sh.
constexpr int kFirstPictureWaitMs = 20'000;
constexpr std::int64_t kSecond = 10'000'000;

QString Fixture(const char *name)
{
    return QStringLiteral(TAVREL_FIXTURE_DIR "/") + QLatin1String(name);
}

// Counts the frame events the system posts.
class TFrameReceiver : public QObject
{
public:
    int Frames = 0;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() != kFrameEventType)
            return QObject::event(e);
        ++Frames;
        return true;
    }
};

void Pump(int ms)
{
    WaitUntil([] { return false; }, ms);
}

// True when the picture has more than one colour.
bool HasPicture(const std::shared_ptr<const TVideoFrame> &frame)
{
    if (!frame || frame->Pixels.isEmpty())
        return false;
    std::set<std::uint32_t> colours;
    const auto *pixels = reinterpret_cast<const std::uint32_t *>(frame->Pixels.constData());
    for (int i = 0; i < frame->Width * frame->Height && colours.size() < 3; i += 97)
        colours.insert(pixels[i] & 0xFFFFFF);
    return colours.size() > 1;
}

class MediaSystemTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // A clip over a minute long for the minute steps, small to make.
        LongDir = new QTemporaryDir;
        LongClip = LongDir->filePath(QStringLiteral("long70s.m2ts"));
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"), {"-hide_banner",
                                                "-loglevel",
                                                "error",
                                                "-y",
                                                "-f",
                                                "lavfi",
                                                "-i",
                                                "testsrc2=size=320x180:rate=25:duration=70",
                                                "-f",
                                                "lavfi",
                                                "-i",
                                                "sine=frequency=440:sample_rate=48000:duration=70",
                                                "-c:v",
                                                "libx264",
                                                "-preset",
                                                "ultrafast",
                                                "-g",
                                                "25",
                                                "-b:v",
                                                "200k",
                                                "-c:a",
                                                "ac3",
                                                "-b:a",
                                                "96k",
                                                "-f",
                                                "mpegts",
                                                "-mpegts_m2ts_mode",
                                                "1",
                                                "-muxrate",
                                                "600000",
                                                LongClip});
        ffmpeg.waitForFinished(120'000);
    }
    static void TearDownTestSuite() { delete LongDir; }

    void SetUp() override
    {
        ClearReports();
        System = std::make_unique<TMediaSystem>();
        System->SetVideoWindow(&FReceiver);
        System->SetMaxSpeed(0);
        System->SetSources(NoVideo, NoAudio);
    }
    void TearDown() override
    {
        System->Close();
        System.reset();
        FDevices.clear();
    }

    // A clip device that outlives the system's last close, as the list's
    // records do.
    template <class... Args> Tm2tsFileDevice &Clip(Args &&...args)
    {
        FDevices.push_back(std::make_unique<Tm2tsFileDevice>(std::forward<Args>(args)...));
        return *FDevices.back();
    }

    // Opens device's first streams as the list page does.
    bool Open(TMediaDevice &device)
    {
        TVideoSource *video = device.AllVideoSources().Get(0);
        TAudioSource *audio = device.AllAudioSources().Get(0);
        return System->SetSources(video ? video : NoVideo, audio ? audio : NoAudio);
    }

    // Time of the picture shown now.
    std::int64_t FrameTime() const
    {
        const auto frame = System->LastFrame();
        return frame ? frame->Time : -1;
    }

    static QTemporaryDir *LongDir;
    static QString LongClip;
    TFrameReceiver FReceiver;
    std::vector<std::unique_ptr<Tm2tsFileDevice>> FDevices;
    std::unique_ptr<TMediaSystem> System;
};

QTemporaryDir *MediaSystemTest::LongDir = nullptr;
QString MediaSystemTest::LongClip;

TEST_F(MediaSystemTest, SelectingAClipShowsItsPicture)
{
    Tm2tsFileDevice &clip = Clip(Fixture("cam1080i.m2ts"));
    ASSERT_EQ(clip.VideoCount(), 1);
    EXPECT_TRUE(Open(clip));
    ASSERT_TRUE(WaitUntil([this] { return FReceiver.Frames > 0; }, kFirstPictureWaitMs));
    EXPECT_TRUE(HasPicture(System->LastFrame()));
    EXPECT_EQ(System->LastFrame()->Width, TMediaSystem::kFrameWidth);
    EXPECT_TRUE(System->HasVideo());
    EXPECT_TRUE(System->HasAudio());
    EXPECT_NEAR(double(System->Duration()), 2.0 * kSecond, 50.0 * kMillisecond);
}

TEST_F(MediaSystemTest, StepsLandWhereTheyShould)
{
    Tm2tsFileDevice &clip = Clip(LongClip);
    ASSERT_EQ(clip.VideoCount(), 1);
    ASSERT_TRUE(Open(clip));
    const std::int64_t duration = System->Duration();
    ASSERT_GT(duration, 69 * kSecond);
    System->ToStart();
    const struct
    {
        const char *what;
        void (TMediaSystem::*step)();
        std::int64_t expected;  // from the position before, or absolute when below 0
    } steps[] = {
        {"image", &TMediaSystem::ForwardImage, 400'000},
        {"image", &TMediaSystem::ForwardImage, 800'000},
        {"second", &TMediaSystem::ForwardSecond, 10'800'000},
        {"minute", &TMediaSystem::ForwardMinute, 610'800'000},
        {"back second", &TMediaSystem::BackSecond, 600'800'000},
        {"back image", &TMediaSystem::BackImage, 600'400'000},
        {"back minute", &TMediaSystem::BackMinute, 400'000},
        {"back minute below 0", &TMediaSystem::BackMinute, 0},
        // 10 ms before the end: the last picture, which starts one picture
        // before the end.
        {"end", &TMediaSystem::ToEnd, duration - 400'000},
        {"forward past the end", &TMediaSystem::ForwardSecond, duration - 400'000},
        {"start", &TMediaSystem::ToStart, 0},
    };
    for (const auto &s : steps) {
        (System.get()->*s.step)();
        EXPECT_EQ(CurrentPosition, s.expected) << s.what;
        // The picture shown is the one on screen at that time.
        EXPECT_LE(FrameTime(), s.expected) << s.what;
        EXPECT_GT(FrameTime(), s.expected - 400'000) << s.what;
    }
}

// Forward image steps go picture by picture in the paused pipeline; each
// must show what an accurate seek to the same position shows, across a
// keyframe (every 25 pictures in the long clip, whose pictures all differ
// and decode alike however reached) and from a position inside a picture.
TEST_F(MediaSystemTest, ImageStepsShowWhatASeekShows)
{
    Tm2tsFileDevice &clip = Clip(LongClip);
    ASSERT_TRUE(Open(clip));
    const struct
    {
        const char *what;
        std::function<void()> move;
    } moves[] = {
        {"into a picture", [this] { System->SetPosition(21 * TMediaSystem::ImageStep + 150'000); }},
        {"image 22", [this] { System->ForwardImage(); }},
        {"two images", [this] { System->SetPosition(CurrentPosition + 2 * TMediaSystem::ImageStep); }},
        {"image 25, a keyframe", [this] { System->ForwardImage(); }},
        {"image 26", [this] { System->ForwardImage(); }},
        {"back image", [this] { System->BackImage(); }},
        {"image again", [this] { System->ForwardImage(); }},
    };
    for (const auto &m : moves) {
        m.move();
        const std::int64_t position = CurrentPosition;
        const auto shown = System->LastFrame();
        ASSERT_TRUE(HasPicture(shown)) << m.what;
        EXPECT_LE(shown->Time, position) << m.what;
        EXPECT_GT(shown->Time + shown->Duration, position) << m.what;
        // Seeking where the system already is decodes that picture afresh.
        System->SetPosition(position);
        const auto sought = System->LastFrame();
        ASSERT_NE(sought, shown) << m.what;
        EXPECT_EQ(sought->Time, shown->Time) << m.what;
        EXPECT_TRUE(sought->Pixels == shown->Pixels) << m.what;
    }
}

// After image steps, playing starts from the picture stepped to.
TEST_F(MediaSystemTest, PlayingAfterImageStepsStartsThere)
{
    Tm2tsFileDevice &clip = Clip(Fixture("small3s.m2ts"));
    ASSERT_TRUE(Open(clip));
    System->ToStart();
    for (int i = 0; i < 5; ++i)
        System->ForwardImage();
    ASSERT_EQ(CurrentPosition, 5 * TMediaSystem::ImageStep);
    System->Play();
    Pump(1000);
    EXPECT_NEAR(double(System->GetPosition()), double(kSecond + 5 * TMediaSystem::ImageStep),
                300.0 * kMillisecond);
}

TEST_F(MediaSystemTest, PlayingForASecondAdvancesAboutASecond)
{
    Tm2tsFileDevice &clip = Clip(Fixture("small3s.m2ts"));
    ASSERT_TRUE(Open(clip));
    System->ToStart();
    System->Play();
    EXPECT_TRUE(System->IsRunning());
    Pump(1000);
    const std::int64_t position = System->GetPosition();
    EXPECT_NEAR(double(position), double(kSecond), 300.0 * kMillisecond);
    System->Pause();
    EXPECT_FALSE(System->IsRunning());
    Pump(200);
    // Paused, the picture the sink was about to show stays on screen.
    const std::int64_t paused = System->GetPosition();
    EXPECT_EQ(paused, FrameTime());
    EXPECT_NEAR(double(paused), double(position), 2 * 400'000.0);
    Pump(200);
    EXPECT_EQ(System->GetPosition(), paused) << "paused: it stays";
}

TEST_F(MediaSystemTest, MaximumSpeedPlaysMuchFasterThanRealTimeWithoutSound)
{
    Tm2tsFileDevice &clip = Clip(LongClip);
    System->SetMaxSpeed(1);
    ASSERT_TRUE(Open(clip));
    EXPECT_TRUE(System->HasVideo());
    EXPECT_FALSE(System->HasAudio());
    System->ToStart();
    QElapsedTimer timer;
    timer.start();
    System->Play();
    const std::int64_t last = System->Duration() - 2 * 400'000;
    ASSERT_TRUE(WaitUntil([&] { return FrameTime() >= last; }, 60'000));
    // 70 s of pictures in a fifth of that at most.
    EXPECT_LT(timer.elapsed(), 14'000);

    // Back to normal speed: the sound comes back with the next opening.
    System->Close();
    System->SetMaxSpeed(0);
    ASSERT_TRUE(Open(clip));
    EXPECT_TRUE(System->HasAudio());
}

TEST_F(MediaSystemTest, VolumeInHundredthsOfADecibel)
{
    EXPECT_EQ(TMediaSystem::VolumeHundredthsDb(10000), 0);
    EXPECT_EQ(TMediaSystem::VolumeHundredthsDb(5000), -752);
    EXPECT_EQ(TMediaSystem::VolumeHundredthsDb(1000), -2499);
    EXPECT_EQ(TMediaSystem::VolumeHundredthsDb(0), -10000);
    EXPECT_EQ(TMediaSystem::VolumeHundredthsDb(20000), 0);

    Tm2tsFileDevice &clip = Clip(Fixture("small1s.m2ts"));
    ASSERT_TRUE(Open(clip));
    const struct
    {
        int volume;
        double factor;
    } levels[] = {{10000, 1.0},
                  {5000, std::pow(10.0, -752 / 2000.0)},
                  {1000, std::pow(10.0, -2499 / 2000.0)},
                  {0, 0.0}};
    for (const auto &level : levels) {
        System->SetVolume(level.volume);
        EXPECT_NEAR(System->VolumeFactor(), level.factor, 1e-6) << level.volume;
    }
}

TEST_F(MediaSystemTest, AClipWithoutSound)
{
    Tm2tsFileDevice &clip = Clip(Fixture("videoonly.m2ts"));
    ASSERT_EQ(clip.AudioCount(), 0);
    ASSERT_TRUE(Open(clip));
    EXPECT_FALSE(System->HasAudio());
    ASSERT_TRUE(WaitUntil([this] { return HasPicture(System->LastFrame()); }, 5000));
    const double factor = System->VolumeFactor();
    System->SetVolume(factor > 0.5 ? 0 : 10000);
    EXPECT_EQ(System->VolumeFactor(), factor) << "no sound, no volume";
    System->ToStart();
    System->ForwardSecond();
    EXPECT_EQ(FrameTime(), kSecond);
}

TEST_F(MediaSystemTest, AClipWithoutPictureKeepsItsPosition)
{
    Tm2tsFileDevice &clip = Clip(Fixture("audioonly.m2ts"));
    ASSERT_TRUE(Open(clip));
    EXPECT_FALSE(System->HasVideo());
    EXPECT_TRUE(System->HasAudio());
    System->ToStart();
    System->ForwardSecond();
    EXPECT_EQ(CurrentPosition, kSecond);
    EXPECT_EQ(AudioReport().CodecName, QByteArray("DOLBY AC3"));
}

// A record that says the clip has sound when it has none: the missing
// stream must not hold the pause, and the picture plays.
TEST_F(MediaSystemTest, AMissingStreamDoesNotHoldThePause)
{
    Tm2tsFileDevice &clip = Clip(Fixture("videoonly.m2ts"), TKnownClip {2 * kSecond, 1, 1});
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(Open(clip));
    EXPECT_LT(timer.elapsed(), TMediaSystem::kPauseTimeoutMs);
    ASSERT_TRUE(WaitUntil([this] { return HasPicture(System->LastFrame()); }, 5000));
    System->Play();
    ASSERT_TRUE(WaitUntil([this] { return FrameTime() >= 10 * 400'000; }, 5000));
}

TEST_F(MediaSystemTest, AClipThatCannotBeReadLeavesTheViewerUsable)
{
    Tm2tsFileDevice &bad = Clip(Fixture("bad.m2ts"), TKnownClip {2 * kSecond, 1, 1});
    QElapsedTimer timer;
    timer.start();
    Open(bad);
    System->ForwardImage();
    System->Play();
    EXPECT_LT(timer.elapsed(), 2 * TMediaSystem::kPauseTimeoutMs);
    System->Close();
    Tm2tsFileDevice &good = Clip(Fixture("small1s.m2ts"));
    ASSERT_TRUE(Open(good));
    ASSERT_TRUE(WaitUntil([this] { return HasPicture(System->LastFrame()); }, 5000));
}

TEST_F(MediaSystemTest, ReselectingTheSameSourcesRebuildsNothing)
{
    Tm2tsFileDevice &clip = Clip(Fixture("small1s.m2ts"));
    ASSERT_TRUE(Open(clip));
    GstElement *splitter = clip.Splitter();
    ASSERT_NE(splitter, nullptr);
    ASSERT_TRUE(Open(clip));
    EXPECT_EQ(clip.Splitter(), splitter);
}

TEST_F(MediaSystemTest, WithoutSourcesSeeksOnlyMoveThePosition)
{
    EXPECT_EQ(System->Duration(), 0);
    CurrentPosition = 0;
    System->ForwardSecond();
    EXPECT_EQ(CurrentPosition, -100'000) << "clamped to the duration less 10 ms";
    EXPECT_EQ(System->LastFrame(), nullptr);
}

TEST_F(MediaSystemTest, TwoHundredQuickClipChanges)
{
    Tm2tsFileDevice &first = Clip(Fixture("small1s.m2ts"));
    Tm2tsFileDevice &second = Clip(Fixture("videoonly.m2ts"));
    for (int i = 0; i < 200; ++i) {
        System->Close();
        Open(i % 2 ? second : first);
        if (i % 7 == 0)
            System->Play();
        QCoreApplication::processEvents();
    }
    System->Close();
    ASSERT_TRUE(Open(first));
    ASSERT_TRUE(WaitUntil([this] { return HasPicture(System->LastFrame()); }, 5000));
}

}  // namespace
