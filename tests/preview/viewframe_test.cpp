// The viewer frame on fixture clips: its layout for each kind of clip, the
// position and duration texts, the picture each move shows against
// ffmpeg's ground truth, the slider, the volume keys, play and maximum
// speed.
#include "src/preview/mediadevice.h"
#include "src/preview/mediasystem.h"
#include "src/preview/notifier.h"
#include "src/preview/viewframe.h"
#include "src/widgets/superaction.h"
#include "src/widgets/textgauge.h"
#include "tests/support/colourclip.h"
#include "tests/support/waituntil.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr std::int64_t kSecond = 10'000'000;

class ViewFrameTest : public testing::Test
{
protected:
    void SetUp() override
    {
        FRame = std::make_unique<TviewFrame>();
        FRame->show();
        System = std::make_unique<TMediaSystem>();
        FRame->AttachSystem(System.get());
    }
    void TearDown() override
    {
        FRame->ClosePreview();
        FRame.reset();
        System.reset();
        FDevices.clear();
    }
    // A clip device that outlives the preview's last close, as the list's
    // records do.
    Tm2tsFileDevice &Clip(const QString &name)
    {
        FDevices.push_back(std::make_unique<Tm2tsFileDevice>(QStringLiteral(TAVREL_FIXTURE_DIR "/") + name));
        return *FDevices.back();
    }
    bool Open(Tm2tsFileDevice &clip)
    {
        TVideoSource *video = clip.AllVideoSources().Get(0);
        TAudioSource *audio = clip.AllAudioSources().Get(0);
        return FRame->OpenSources(video ? video : NoVideo, audio ? audio : NoAudio);
    }
    bool NavigationVisible() const
    {
        return FRame->ReculeTrackBtn->isVisible() && FRame->AvanceTrackBtn->isVisible()
               && FRame->PlayBtn->isVisible() && FRame->tb->isVisible() && FRame->edPosition->isVisible();
    }

    std::vector<std::unique_ptr<Tm2tsFileDevice>> FDevices;
    std::unique_ptr<TMediaSystem> System;
    std::unique_ptr<TviewFrame> FRame;
};

TEST(ViewFrameAlone, DoesNothingUntilASystemIsAttached)
{
    TviewFrame frame;
    EXPECT_FALSE(frame.OpenSources(NoVideo, NoAudio));
    EXPECT_FALSE(frame.ClosePreview());
    EXPECT_EQ(frame.Volume, 5000);
    EXPECT_EQ(frame.gaugeVolume->Progress(), 50);
}

TEST_F(ViewFrameTest, EmptyShowsTheStillPictureOnly)
{
    EXPECT_TRUE(FRame->Image1->isVisible());
    EXPECT_FALSE(FRame->vw->isVisible());
    EXPECT_FALSE(NavigationVisible());
    EXPECT_FALSE(FRame->gaugeVolume->isVisible());
    EXPECT_FALSE(FRame->cbVItesseMaxi->isVisible());
}

TEST_F(ViewFrameTest, AClipWithPictureAndSound)
{
    Tm2tsFileDevice &clip = Clip("cam1080i.m2ts");
    ASSERT_TRUE(Open(clip));
    EXPECT_TRUE(FRame->vw->isVisible());
    EXPECT_FALSE(FRame->Image1->isVisible());
    EXPECT_TRUE(NavigationVisible());
    EXPECT_TRUE(FRame->gaugeVolume->isVisible());
    EXPECT_TRUE(FRame->cbVItesseMaxi->isVisible());
    ASSERT_TRUE(
        WaitUntil([&] { return FRame->labImageSize->isVisible() && FRame->edDuration->isVisible(); }, 5000));
    EXPECT_EQ(FRame->labImageSize->text(), QStringLiteral("1920x1080"));
    EXPECT_EQ(FRame->edDuration->text(), QStringLiteral("Durée: 0:00:02:00"));
    EXPECT_EQ(FRame->edPosition->text(), QStringLiteral("0:00:00:00"));
    EXPECT_EQ(System->VideoInfo.Width, 1920);

    FRame->saAvanceMedium->Execute();
    EXPECT_EQ(CurrentPosition, kSecond);
    FRame->saAvanceLow->Execute();
    EXPECT_EQ(CurrentPosition, kSecond + 400'000);
    EXPECT_FALSE(FRame->edPosition->font().italic()) << "back to the normal style";

    // The slider seeks when the user lets it go, not when set from code.
    FRame->tb->setValue(256);
    EXPECT_EQ(CurrentPosition, kSecond + 400'000);
    FRame->tb->setSliderDown(true);
    FRame->tb->setValue(512);
    FRame->tb->setSliderDown(false);
    EXPECT_EQ(CurrentPosition, System->Duration() * 512 / 1024);
    ASSERT_TRUE(WaitUntil([&] { return FRame->edPosition->text() == QStringLiteral("0:00:01:00"); }, 5000));

    FRame->ClosePreview();
    EXPECT_FALSE(FRame->edDuration->isVisible());
    EXPECT_FALSE(FRame->labImageSize->isVisible());
}

// --- The picture shown is the one the position names ---------------------

class PictureTruth : public ViewFrameTest, public testing::WithParamInterface<const char *>
{
protected:
    // The ground-truth picture the media system delivers now, and the one
    // the video area paints (-1: no picture, or a colour of no picture).
    int Delivered() const
    {
        const auto frame = System->LastFrame();
        if (!frame)
            return -1;
        const TColour colour =
            MiddleColour(reinterpret_cast<const unsigned char *>(frame->Pixels.constData()), frame->Width,
                         frame->Height, frame->Stride);
        return Truth->Match(colour.Red, colour.Green, colour.Blue);
    }
    int Painted() const
    {
        const QImage image = FRame->vw->grab().toImage();
        const QRgb pixel = image.pixel(image.width() / 2, image.height() / 2);
        return Truth->Match(qRed(pixel), qGreen(pixel), qBlue(pixel));
    }

    std::unique_ptr<TColourTruth> Truth;
};

// Each move is judged three ways against ffmpeg's own decoding of the
// clip: the picture delivered and painted is where the move should land,
// and the position text names that picture, within one picture.
TEST_P(PictureTruth, EveryMoveShowsThePictureThePositionNames)
{
    const QString name = QString::fromLatin1(GetParam());
    Truth = std::make_unique<TColourTruth>(QStringLiteral(TAVREL_FIXTURE_DIR "/") + name);
    ASSERT_GT(Truth->Count(), 90) << "ffmpeg decoded the clip";
    const std::int64_t step = Truth->PictureDuration();
    const std::vector<TTruthPicture> &pictures = Truth->Pictures();
    const int last = Truth->Count() - 1;
    Tm2tsFileDevice &clip = Clip(name);
    ASSERT_TRUE(Open(clip));
    ASSERT_NEAR(double(System->Duration()), double(pictures[last].Time + step), double(step) / 10);
    const bool minutes = System->Duration() > 61 * kSecond;

    auto slide = [this](int value) {
        return [this, value] {
            FRame->tb->setSliderDown(true);
            FRame->tb->setValue(value);
            FRame->tb->setSliderDown(false);
        };
    };
    auto slid = [this](int value) {
        return std::min(System->Duration() * value / 1024, System->Duration() - 100'000);
    };
    const struct
    {
        const char *What;
        std::function<void()> Move;
        std::function<std::int64_t(std::int64_t before)> Target;  // where the move must land
        bool Exact = false;  // the picture holding the target, not one picture near it
    } moves[] = {
        {"opening", [] {}, [](std::int64_t) { return 0; }, true},
        {"+1 image", [this] { FRame->saAvanceLow->Execute(); }, [&](std::int64_t t) { return t + step; }},
        {"+1 image", [this] { FRame->saAvanceLow->Execute(); }, [&](std::int64_t t) { return t + step; }},
        {"+1 image", [this] { FRame->saAvanceLow->Execute(); }, [&](std::int64_t t) { return t + step; }},
        {"-1 image", [this] { FRame->saReculeLow->Execute(); }, [&](std::int64_t t) { return t - step; }},
        {"+1 s", [this] { FRame->saAvanceMedium->Execute(); }, [](std::int64_t t) { return t + kSecond; }},
        {"+1 s", [this] { FRame->saAvanceMedium->Execute(); }, [](std::int64_t t) { return t + kSecond; }},
        {"-1 s", [this] { FRame->saReculeMedium->Execute(); }, [](std::int64_t t) { return t - kSecond; }},
        {"+1 min", [this] { FRame->saAvanceHigh->Execute(); },
         [&](std::int64_t t) { return minutes ? t + 60 * kSecond : pictures[last].Time; }},
        {"-1 min", [this] { FRame->saReculeHigh->Execute(); },
         [&](std::int64_t t) { return std::max<std::int64_t>(t - 60 * kSecond, 0); }},
        {"end", [this] { FRame->saAvanceEnd->Execute(); }, [&](std::int64_t) { return pictures[last].Time; }},
        {"-1 image from the end", [this] { FRame->saReculeLow->Execute(); },
         [&](std::int64_t t) { return t - step; }},
        {"+1 image to the end", [this] { FRame->saAvanceLow->Execute(); },
         [&](std::int64_t t) { return t + step; }},
        {"+1 image past the end", [this] { FRame->saAvanceLow->Execute(); },
         [&](std::int64_t) { return pictures[last].Time; }},
        {"start", [this] { FRame->saReculeHome->Execute(); }, [](std::int64_t) { return 0; }},
        {"-1 image before the start", [this] { FRame->saReculeLow->Execute(); },
         [](std::int64_t) { return 0; }},
        {"slider 1", slide(1), [&](std::int64_t) { return slid(1); }, true},
        {"slider 300", slide(300), [&](std::int64_t) { return slid(300); }, true},
        {"slider 512", slide(512), [&](std::int64_t) { return slid(512); }, true},
        {"+1 image after the slider", [this] { FRame->saAvanceLow->Execute(); },
         [&](std::int64_t t) { return t + step; }},
        {"slider 1000", slide(1000), [&](std::int64_t) { return slid(1000); }, true},
        {"slider 1024", slide(1024), [&](std::int64_t) { return slid(1024); }, true},
    };
    std::int64_t before = 0;
    for (const auto &m : moves) {
        m.Move();
        QCoreApplication::processEvents();
        const int shown = Delivered();
        ASSERT_GE(shown, 0) << m.What << ": a picture of the clip is delivered";
        EXPECT_EQ(Painted(), shown) << m.What << ": the video area paints it";
        const std::int64_t time = pictures[shown].Time, target = m.Target(before);
        if (m.Exact)
            EXPECT_EQ(shown, Truth->At(target)) << m.What << ": picture " << shown << " shown for " << target;
        else
            EXPECT_LT(std::abs(time - target), step)
                << m.What << ": picture " << shown << " at " << time << " shown for " << target;
        const QString text = FRame->edPosition->text();
        const std::int64_t named = TimeOfPositionText(text, VideoReport().FrameDuration);
        EXPECT_LT(std::abs(named - time), step) << m.What << ": the position reads " << text.toStdString()
                                                << ", picture " << shown << " is at " << time;
        before = time;
    }
}

INSTANTIATE_TEST_SUITE_P(Clips, PictureTruth,
                         testing::Values("colours25p.m2ts", "colours60i.m2ts", "colours25p-nob.m2ts"),
                         [](const testing::TestParamInfo<const char *> &info) {
                             std::string name = info.param;
                             name = name.substr(0, name.find('.'));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST_F(ViewFrameTest, AClipWithoutPicture)
{
    Tm2tsFileDevice &clip = Clip("audioonly.m2ts");
    ASSERT_TRUE(Open(clip));
    EXPECT_TRUE(FRame->Image1->isVisible());
    EXPECT_FALSE(FRame->vw->isVisible());
    EXPECT_TRUE(NavigationVisible());
    EXPECT_TRUE(FRame->gaugeVolume->isVisible());
    EXPECT_FALSE(FRame->cbVItesseMaxi->isVisible());
}

TEST_F(ViewFrameTest, VolumeKeysStepByAThousand)
{
    FRame->Volume = 9500;
    FRame->saIncVolume->Execute();
    EXPECT_EQ(FRame->Volume, 10000);
    EXPECT_EQ(FRame->gaugeVolume->Progress(), 100);
    FRame->saIncVolume->Execute();
    EXPECT_EQ(FRame->Volume, 10000);
    FRame->Volume = 500;
    FRame->saDecVolume->Execute();
    EXPECT_EQ(FRame->Volume, 0);
    EXPECT_EQ(FRame->gaugeVolume->Progress(), 0);
    EXPECT_EQ(FRame->saIncVolume->shortcuts().value(0), QKeySequence(Qt::Key_Plus));
    EXPECT_EQ(FRame->saIncVolume->shortcuts().value(1), QKeySequence(QStringLiteral("Alt+P")));
}

TEST_F(ViewFrameTest, PlayThenMaximumSpeedKeepsPlayingFromTheStartWithoutSound)
{
    Tm2tsFileDevice &clip = Clip("small3s.m2ts");
    ASSERT_TRUE(Open(clip));
    EXPECT_EQ(FRame->taPausePlay->Caption(), QStringLiteral("Play"));
    FRame->PlayBtn->click();
    EXPECT_EQ(FRame->taPausePlay->Caption(), QStringLiteral("Pause"));
    EXPECT_TRUE(System->IsRunning());
    ASSERT_TRUE(WaitUntil([&] { return System->GetPosition() > kSecond / 2; }, 5000));

    FRame->cbVItesseMaxi->click();
    EXPECT_TRUE(FRame->cbVItesseMaxi->isChecked());
    EXPECT_EQ(System->MaxSpeed(), 1);
    EXPECT_FALSE(System->HasAudio());
    EXPECT_FALSE(FRame->gaugeVolume->isVisible());
    EXPECT_TRUE(System->IsRunning()) << "still playing";

    FRame->cbVItesseMaxi->click();
    EXPECT_FALSE(FRame->cbVItesseMaxi->isChecked());
    EXPECT_EQ(System->MaxSpeed(), 0);
    EXPECT_TRUE(System->HasAudio()) << "the saved sound is back";
    FRame->PlayBtn->click();
    EXPECT_EQ(FRame->taPausePlay->Caption(), QStringLiteral("Play"));
    EXPECT_FALSE(System->IsRunning());
}

}  // namespace
