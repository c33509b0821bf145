// The viewer frame on fixture clips: its layout for each kind of clip, the
// position and duration texts, the slider, the volume keys, play and
// maximum speed.
#include "preview/mediadevice.h"
#include "preview/mediasystem.h"
#include "preview/viewframe.h"
#include "widgets/superaction.h"
#include "widgets/textgauge.h"
#include "support/waituntil.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr std::int64_t Second = 10'000'000;

QString Fixture(const char *name)
{
    return QStringLiteral(TAVREL_FIXTURE_DIR "/") + QLatin1String(name);
}

class ViewFrameTest : public testing::Test {
protected:
    void SetUp() override
    {
        Frame = std::make_unique<TviewFrame>();
        Frame->show();
        System = std::make_unique<TMediaSystem>();
        Frame->AttachSystem(System.get());
    }
    void TearDown() override
    {
        Frame->ClosePreview();
        Frame.reset();
        System.reset();
        Devices.clear();
    }
    // A clip device that outlives the preview's last close, as the list's
    // records do.
    Tm2tsFileDevice &Clip(const char *name)
    {
        Devices.push_back(std::make_unique<Tm2tsFileDevice>(Fixture(name)));
        return *Devices.back();
    }
    bool Open(Tm2tsFileDevice &clip)
    {
        TVideoSource *video = clip.AllVideoSources().Get(0);
        TAudioSource *audio = clip.AllAudioSources().Get(0);
        return Frame->OpenSources(video ? video : NoVideo, audio ? audio : NoAudio);
    }
    bool NavigationVisible() const
    {
        return Frame->ReculeTrackBtn->isVisible() && Frame->AvanceTrackBtn->isVisible() && Frame->PlayBtn->isVisible()
               && Frame->tb->isVisible() && Frame->edPosition->isVisible();
    }

    std::vector<std::unique_ptr<Tm2tsFileDevice>> Devices;
    std::unique_ptr<TMediaSystem> System;
    std::unique_ptr<TviewFrame> Frame;
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
    EXPECT_TRUE(Frame->Image1->isVisible());
    EXPECT_FALSE(Frame->vw->isVisible());
    EXPECT_FALSE(NavigationVisible());
    EXPECT_FALSE(Frame->gaugeVolume->isVisible());
    EXPECT_FALSE(Frame->cbVItesseMaxi->isVisible());
}

TEST_F(ViewFrameTest, AClipWithPictureAndSound)
{
    Tm2tsFileDevice &clip = Clip("cam1080i.m2ts");
    ASSERT_TRUE(Open(clip));
    EXPECT_TRUE(Frame->vw->isVisible());
    EXPECT_FALSE(Frame->Image1->isVisible());
    EXPECT_TRUE(NavigationVisible());
    EXPECT_TRUE(Frame->gaugeVolume->isVisible());
    EXPECT_TRUE(Frame->cbVItesseMaxi->isVisible());
    ASSERT_TRUE(WaitUntil([&] { return Frame->labImageSize->isVisible() && Frame->edDuration->isVisible(); }, 5000));
    EXPECT_EQ(Frame->labImageSize->text(), QStringLiteral("1920x1080"));
    EXPECT_EQ(Frame->edDuration->text(), QStringLiteral("Durée: 0:00:02:00"));
    EXPECT_EQ(Frame->edPosition->text(), QStringLiteral("0:00:00:00"));
    EXPECT_EQ(System->VideoInfo.Width, 1920);

    Frame->saAvanceMedium->Execute();
    EXPECT_EQ(CurrentPosition, Second);
    Frame->saAvanceLow->Execute();
    EXPECT_EQ(CurrentPosition, Second + 400'000);
    EXPECT_FALSE(Frame->edPosition->font().italic()) << "back to the normal style";

    // The slider seeks when the user lets it go, not when set from code.
    Frame->tb->setValue(256);
    EXPECT_EQ(CurrentPosition, Second + 400'000);
    Frame->tb->setSliderDown(true);
    Frame->tb->setValue(512);
    Frame->tb->setSliderDown(false);
    EXPECT_EQ(CurrentPosition, System->Duration() * 512 / 1024);
    ASSERT_TRUE(WaitUntil([&] { return Frame->edPosition->text() == QStringLiteral("0:00:01:00"); }, 5000));

    Frame->ClosePreview();
    EXPECT_FALSE(Frame->edDuration->isVisible());
    EXPECT_FALSE(Frame->labImageSize->isVisible());
}

TEST_F(ViewFrameTest, AClipWithoutPicture)
{
    Tm2tsFileDevice &clip = Clip("audioonly.m2ts");
    ASSERT_TRUE(Open(clip));
    EXPECT_TRUE(Frame->Image1->isVisible());
    EXPECT_FALSE(Frame->vw->isVisible());
    EXPECT_TRUE(NavigationVisible());
    EXPECT_TRUE(Frame->gaugeVolume->isVisible());
    EXPECT_FALSE(Frame->cbVItesseMaxi->isVisible());
}

TEST_F(ViewFrameTest, VolumeKeysStepByAThousand)
{
    Frame->Volume = 9500;
    Frame->saIncVolume->Execute();
    EXPECT_EQ(Frame->Volume, 10000);
    EXPECT_EQ(Frame->gaugeVolume->Progress(), 100);
    Frame->saIncVolume->Execute();
    EXPECT_EQ(Frame->Volume, 10000);
    Frame->Volume = 500;
    Frame->saDecVolume->Execute();
    EXPECT_EQ(Frame->Volume, 0);
    EXPECT_EQ(Frame->gaugeVolume->Progress(), 0);
    EXPECT_EQ(Frame->saIncVolume->shortcuts().value(0), QKeySequence(Qt::KeypadModifier | Qt::Key_Plus));
    EXPECT_EQ(Frame->saIncVolume->shortcuts().value(1), QKeySequence(QStringLiteral("Alt+P")));
}

TEST_F(ViewFrameTest, PlayThenMaximumSpeedKeepsPlayingFromTheStartWithoutSound)
{
    Tm2tsFileDevice &clip = Clip("small3s.m2ts");
    ASSERT_TRUE(Open(clip));
    EXPECT_EQ(Frame->taPausePlay->Caption(), QStringLiteral("Play"));
    Frame->PlayBtn->click();
    EXPECT_EQ(Frame->taPausePlay->Caption(), QStringLiteral("Pause"));
    EXPECT_TRUE(System->IsRunning());
    ASSERT_TRUE(WaitUntil([&] { return System->GetPosition() > Second / 2; }, 5000));

    Frame->cbVItesseMaxi->click();
    EXPECT_TRUE(Frame->cbVItesseMaxi->isChecked());
    EXPECT_EQ(System->MaxSpeed(), 1);
    EXPECT_FALSE(System->HasAudio());
    EXPECT_FALSE(Frame->gaugeVolume->isVisible());
    EXPECT_TRUE(System->IsRunning()) << "still playing";

    Frame->cbVItesseMaxi->click();
    EXPECT_FALSE(Frame->cbVItesseMaxi->isChecked());
    EXPECT_EQ(System->MaxSpeed(), 0);
    EXPECT_TRUE(System->HasAudio()) << "the saved sound is back";
    Frame->PlayBtn->click();
    EXPECT_EQ(Frame->taPausePlay->Caption(), QStringLiteral("Play"));
    EXPECT_FALSE(System->IsRunning());
}

} // namespace
