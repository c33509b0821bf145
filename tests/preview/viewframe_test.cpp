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

constexpr std::int64_t kSecond = 10'000'000;

QString Fixture(const char *name)
{
    return QStringLiteral(TAVREL_FIXTURE_DIR "/") + QLatin1String(name);
}

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
    Tm2tsFileDevice &Clip(const char *name)
    {
        FDevices.push_back(std::make_unique<Tm2tsFileDevice>(Fixture(name)));
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
    EXPECT_EQ(FRame->saIncVolume->shortcuts().value(0), QKeySequence(Qt::KeypadModifier | Qt::Key_Plus));
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
