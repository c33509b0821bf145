#include "src/widgets/windowplace.h"

#include <gtest/gtest.h>

namespace {

const QSize kFrame(696, 556);
const QRect kScreen(0, 0, 1280, 1024);
// A wide monitor on the left and a smaller one to its right.
const QList<QRect> kTwoScreens = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};

struct PlaceCase
{
    const char *what;
    QList<QRect> screens;
    QRect frame;
    QPoint expected;
};

TEST(PlaceOnScreens, KeepsReachableFramesAndBringsBackTheOthers)
{
    const PlaceCase cases[] = {
        {"inside the screen", {kScreen}, QRect(QPoint(100, 100), kFrame), QPoint(100, 100)},
        {"partly off the right edge, title bar still held",
         {kScreen},
         QRect(QPoint(1000, 100), kFrame),
         QPoint(1000, 100)},
        {"title bar one pixel above the screen", {kScreen}, QRect(QPoint(100, -1), kFrame), QPoint(100, 0)},
        {"title bar above the screen", {kScreen}, QRect(QPoint(100, -300), kFrame), QPoint(100, 0)},
        {"only a sliver left of the screen", {kScreen}, QRect(QPoint(-690, 100), kFrame), QPoint(0, 100)},
        {"below the screen", {kScreen}, QRect(QPoint(100, 1100), kFrame), QPoint(100, 468)},
        {"on a second monitor that is gone", {kScreen}, QRect(QPoint(2500, 200), kFrame), QPoint(584, 200)},
        {"on the second monitor", kTwoScreens, QRect(QPoint(2500, 200), kFrame), QPoint(2500, 200)},
        {"right of both monitors: the nearer one", kTwoScreens, QRect(QPoint(4000, 100), kFrame),
         QPoint(2504, 100)},
        {"below the smaller monitor", kTwoScreens, QRect(QPoint(2000, 1050), kFrame), QPoint(2000, 468)},
        {"under a top panel", {QRect(0, 30, 1280, 994)}, QRect(QPoint(100, 10), kFrame), QPoint(100, 30)},
        {"larger than the screen: its top-left part shown",
         {QRect(0, 0, 640, 480)},
         QRect(QPoint(-1000, -1000), kFrame),
         QPoint(0, 0)},
        {"no screen known", {}, QRect(QPoint(-5000, -5000), kFrame), QPoint(-5000, -5000)},
    };
    for (const PlaceCase &c : cases) {
        const QPoint placed = PlaceOnScreens(c.frame, c.screens);
        EXPECT_EQ(placed, c.expected) << c.what;
        if (!c.screens.isEmpty()) {
            EXPECT_TRUE(TitleBarReachable(QRect(placed, c.frame.size()), c.screens)) << c.what;
        }
    }
}

TEST(TitleBarReachable, NeedsTheWholeTitleHeightAndAGrip)
{
    EXPECT_TRUE(TitleBarReachable(QRect(QPoint(1280 - 64, 0), kFrame), {kScreen}));
    EXPECT_FALSE(TitleBarReachable(QRect(QPoint(1280 - 63, 0), kFrame), {kScreen}));
    EXPECT_TRUE(TitleBarReachable(QRect(QPoint(0, 1024 - kTitleBarHeight), kFrame), {kScreen}));
    EXPECT_FALSE(TitleBarReachable(QRect(QPoint(0, 1024 - kTitleBarHeight + 1), kFrame), {kScreen}));
    // A window narrower than the grip shows its whole title bar.
    EXPECT_TRUE(TitleBarReachable(QRect(0, 0, 40, 40), {kScreen}));
    EXPECT_FALSE(TitleBarReachable(QRect(-1, 0, 40, 40), {kScreen}));
}

}  // namespace
