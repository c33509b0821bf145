// The text gauge: its range, its percentage, its alert colour, its text and
// the pixels of its bar.
#include "src/widgets/textgauge.h"

#include <gtest/gtest.h>

namespace {

TEST(TextGauge, Defaults)
{
    TTextGauge gauge;
    EXPECT_EQ(gauge.MinValue(), 0);
    EXPECT_EQ(gauge.MaxValue(), 100);
    EXPECT_EQ(gauge.AlertValue(), 80);
    EXPECT_EQ(gauge.GaugeKind(), gkHorizontalBar);
    EXPECT_EQ(gauge.TextKind(), tkValueDone);
    EXPECT_EQ(gauge.size(), QSize(100, 100));
    EXPECT_EQ(gauge.ForeColor(), QColor(0xC0, 0xDC, 0xC0));
}

TEST(TextGauge, ProgressIsClampedIntoTheRange)
{
    TTextGauge gauge;
    gauge.SetProgress(150);
    EXPECT_EQ(gauge.Progress(), 100);
    gauge.SetProgress(-5);
    EXPECT_EQ(gauge.Progress(), 0);
    gauge.SetProgress(60);
    gauge.SetMaxValue(40);
    EXPECT_EQ(gauge.Progress(), 40);
    gauge.SetMinValue(45 - 10);
    gauge.SetProgress(0);
    EXPECT_EQ(gauge.Progress(), 35);
}

TEST(TextGauge, ImpossibleRangesAreRefusedUnlessLoading)
{
    TTextGauge gauge;
    try {
        gauge.SetMinValue(101);
        FAIL() << "no error";
    } catch (const EInvalidOperation &error) {
        EXPECT_STREQ(error.what(), "Value must be between -2147483647 and 99");
    }
    try {
        gauge.SetMaxValue(-1);
        FAIL() << "no error";
    } catch (const EInvalidOperation &error) {
        EXPECT_STREQ(error.what(), "Value must be between 1 and 2147483647");
    }
    gauge.Loading = true;
    gauge.SetMinValue(200);
    EXPECT_EQ(gauge.MinValue(), 200);
}

TEST(TextGauge, PercentDoneRoundsHalvesToEven)
{
    TTextGauge gauge;
    gauge.SetMaxValue(200);
    const struct
    {
        int progress, percent;
    } cases[] = {{1, 0}, {3, 2}, {5, 2}, {100, 50}, {199, 100}};
    for (const auto &c : cases) {
        gauge.SetProgress(c.progress);
        EXPECT_EQ(gauge.PercentDone(), c.percent) << c.progress;
    }
    gauge.SetMaxValue(0);
    EXPECT_EQ(gauge.PercentDone(), 0) << "empty range";
}

TEST(TextGauge, Texts)
{
    TTextGauge gauge;
    gauge.SetProgress(50);
    EXPECT_EQ(gauge.Text(), QStringLiteral("50"));
    gauge.SetTextKind(tkPercentDone);
    EXPECT_EQ(gauge.Text(), QStringLiteral("50%"));
    gauge.SetProgress(30);
    gauge.SetTextKind(tkPercentRemaining);
    EXPECT_EQ(gauge.Text(), QStringLiteral("70%"));
    gauge.SetTextKind(tkValueRemaining);
    gauge.SetCaption(QStringLiteral("reste %d"));
    EXPECT_EQ(gauge.Text(), QStringLiteral("reste 70"));
    gauge.SetCaption(QStringLiteral("%s %d"));
    EXPECT_EQ(gauge.Text(), QStringLiteral("%s 70")) << "only %d is filled";
    gauge.SetcustomText(true);
    gauge.SetCaption(QStringLiteral("Volume %d"));
    EXPECT_EQ(gauge.Text(), QStringLiteral("Volume %d"));
}

TEST(TextGauge, AlertColourFollowsTheTextKind)
{
    const struct
    {
        TTextKind kind;
        int alert, progress;
        bool alerted;
    } cases[] = {{tkValueDone, 80, 80, false},     {tkValueDone, 80, 81, true},
                 {tkPercentDone, 80, 81, true},    {tkValueRemaining, 20, 20, false},
                 {tkValueRemaining, 20, 19, true}, {tkPercentRemaining, 20, 19, true}};
    for (const auto &c : cases) {
        TTextGauge gauge;
        gauge.SetTextKind(c.kind);
        gauge.SetAlertValue(c.alert);
        gauge.SetProgress(c.progress);
        EXPECT_EQ(gauge.BarColor(), c.alerted ? TTextGauge::AlertColor : gauge.ForeColor())
            << c.kind << ' ' << c.progress;
        gauge.SetcustomText(true);
        EXPECT_EQ(gauge.BarColor(), c.alerted ? TTextGauge::AlertColor : gauge.ForeColor()) << "custom text";
    }
}

TEST(TextGauge, HorizontalBarCoversItsShare)
{
    TTextGauge gauge;
    gauge.resize(100, 20);
    gauge.SetBorderStyle(gbNone);
    gauge.SetShowText(false);
    gauge.SetProgress(50);
    const QImage image = gauge.Render();
    EXPECT_EQ(image.pixelColor(0, 10), gauge.ForeColor());
    EXPECT_EQ(image.pixelColor(49, 10), gauge.ForeColor());
    EXPECT_EQ(image.pixelColor(50, 10), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(99, 19), QColor(Qt::white));
}

TEST(TextGauge, BorderAndEmptyBar)
{
    TTextGauge gauge;
    gauge.resize(50, 10);
    gauge.SetShowText(false);
    gauge.SetMaxValue(0);
    const QImage image = gauge.Render();
    EXPECT_EQ(image.pixelColor(0, 5), QColor(Qt::black)) << "frame";
    EXPECT_EQ(image.pixelColor(1, 5), QColor(Qt::white)) << "empty bar";
}

TEST(TextGauge, TextIsTheInverseOfWhatLiesUnder)
{
    TTextGauge gauge;
    gauge.resize(100, 30);
    gauge.SetBorderStyle(gbNone);
    gauge.SetGaugeKind(gkText);
    gauge.SetProgress(88);
    const QImage image = gauge.Render();
    bool inverted = false;
    for (int y = 0; y < 30 && !inverted; ++y)
        for (int x = 0; x < 100 && !inverted; ++x)
            inverted = image.pixelColor(x, y) == QColor(Qt::black);
    EXPECT_TRUE(inverted) << "white text over white shows black";
}

// The volume dial: a needle 48 × 20 with the needle in the alert colour
// whenever the volume is above 0.
TEST(TextGauge, VolumeNeedle)
{
    TTextGauge gauge;
    gauge.resize(48, 20);
    gauge.SetGaugeKind(gkNeedle);
    gauge.SetBorderStyle(gbNone);
    gauge.SetTextKind(tkPercentDone);
    gauge.SetAlertValue(0);
    gauge.SetShowText(false);
    gauge.SetProgress(50);
    EXPECT_EQ(gauge.BarColor(), TTextGauge::AlertColor);
    const QImage image = gauge.Render();
    // At 50 % the needle stands straight up from the middle of the base.
    EXPECT_EQ(image.pixelColor(24, 10), TTextGauge::AlertColor);
    gauge.SetProgress(0);
    EXPECT_EQ(gauge.BarColor(), gauge.ForeColor());
}

}  // namespace
