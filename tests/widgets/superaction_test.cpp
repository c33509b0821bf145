#include "src/widgets/actionlist.h"
#include "src/widgets/imagelist.h"
#include "src/widgets/superaction.h"
#include "src/widgets/themeicon.h"

#include <gtest/gtest.h>

namespace {

struct Calls
{
    int prepare = 0;
    int execute = 0;
    QStringList paramsSeen;
};

TEST(SuperAction, PrepareFillsParamsForTheHandler)
{
    TSuperAction action;
    Calls calls;
    action.Onprepare = [&](TCustomSuperAction *) {
        ++calls.prepare;
        ActionParams.append(QStringLiteral("/data/AVCHD"));
    };
    action.SetOnexecute([&](TCustomSuperAction *) {
        ++calls.execute;
        calls.paramsSeen = ActionParams;
    });
    EXPECT_TRUE(action.Execute());
    EXPECT_EQ(calls.prepare, 1);
    EXPECT_EQ(calls.execute, 1);
    EXPECT_EQ(calls.paramsSeen, QStringList {QStringLiteral("/data/AVCHD")});
}

TEST(SuperAction, ClearedProceedCancelsHandlerAndAutoCheck)
{
    TSuperAction action;
    action.SetAutoCheck(true);
    int executed = 0;
    action.Onprepare = [](TCustomSuperAction *) { ActionProceed = false; };
    action.SetOnexecute([&](TCustomSuperAction *) { ++executed; });
    EXPECT_TRUE(action.Execute());  // handled, though nothing ran
    EXPECT_EQ(executed, 0);
    EXPECT_FALSE(action.Checked());
}

TEST(SuperAction, WithoutPrepareHandlerSeesEmptyParams)
{
    TSuperAction action;
    ActionParams = QStringList {QStringLiteral("left over")};
    ActionProceed = false;
    QStringList seen {QStringLiteral("unset")};
    action.SetOnexecute([&](TCustomSuperAction *) { seen = ActionParams; });
    action.Execute();
    EXPECT_TRUE(seen.isEmpty());
    EXPECT_TRUE(ActionProceed);
}

TEST(SuperAction, AutoCheckFlipsBeforeHandler)
{
    TSuperAction action;
    action.SetAutoCheck(true);
    bool seen = false;
    action.SetOnexecute([&](TCustomSuperAction *a) { seen = a->Checked(); });
    action.Execute();
    EXPECT_TRUE(seen);
    action.Execute();
    EXPECT_FALSE(action.Checked());
}

TEST(SuperAction, DisabledRunsNeitherPrepareNorHandler)
{
    TSuperAction action;
    action.setEnabled(false);
    Calls calls;
    action.Onprepare = [&](TCustomSuperAction *) { ++calls.prepare; };
    action.SetOnexecute([&](TCustomSuperAction *) { ++calls.execute; });
    EXPECT_FALSE(action.Execute());
    action.trigger();
    EXPECT_EQ(calls.prepare, 0);
    EXPECT_EQ(calls.execute, 0);
}

TEST(SuperAction, QtTriggerRunsPrepareThenHandler)
{
    TSuperAction action;
    QStringList order;
    action.Onprepare = [&](TCustomSuperAction *) { order << QStringLiteral("prepare"); };
    action.SetOnexecute([&](TCustomSuperAction *) { order << QStringLiteral("execute"); });
    action.trigger();  // what a bound button or a shortcut does
    EXPECT_EQ(order, (QStringList {QStringLiteral("prepare"), QStringLiteral("execute")}));
}

TEST(SuperAction, SetimageindexTellsOnlyChanges)
{
    TActionList list;
    TImageList images(25, 25);
    images.Add({5, QStringLiteral("document-open")});
    list.SetImages(&images);
    TSuperAction action;
    list.Add(&action);
    QVector<QPair<TImageList *, int>> told;
    action.OnImageChanged = [&](TImageList *il, int index) { told.append({il, index}); };
    action.Setimageindex(5);
    action.Setimageindex(5);
    ASSERT_EQ(told.size(), 1);
    EXPECT_EQ(told[0].first, &images);
    EXPECT_EQ(told[0].second, 5);
    EXPECT_FALSE(action.icon().isNull());
    action.Setimageindex(-1);
    EXPECT_EQ(told.size(), 2);
    EXPECT_TRUE(action.icon().isNull());
}

// The options toggle as the main window sets it up: its handlers set the
// new state themselves.
class ToggleTest : public testing::Test
{
protected:
    void SetUp() override
    {
        FToggle.SetCaption(QStringLiteral("Options"));
        FToggle.SetHint(QStringLiteral("Ouvrir la page des Options pour les gérer."));
        FToggle.SetAutoCheck(true);
        FToggle.TrueCaption = QStringLiteral("Sortir");
        FToggle.FalseCaption = QStringLiteral("Options");
        FToggle.TrueHint = QStringLiteral("Quitter la page des Options");
        FToggle.FalseHint = QStringLiteral("Ouvrir la page des Options pour les gérer.");
        FToggle.TrueImageIndex = 26;
        FToggle.FalseImageIndex = 26;
        FToggle.OnTrueExecute = [this](TCustomSuperAction *) {
            FCalls << QStringLiteral("true");
            FToggle.SetChecked(false);
        };
        FToggle.OnfalseExecute = [this](TCustomSuperAction *) {
            FCalls << QStringLiteral("false");
            FToggle.SetChecked(true);
        };
    }

    TtoggleAction FToggle;
    QStringList FCalls;
};

TEST_F(ToggleTest, TwoExecutionsOpenThenClose)
{
    FToggle.Execute();
    EXPECT_EQ(FCalls, QStringList {QStringLiteral("false")});
    EXPECT_TRUE(FToggle.Checked());
    EXPECT_EQ(FToggle.Caption(), QStringLiteral("Sortir"));
    EXPECT_EQ(FToggle.Hint(), QStringLiteral("Quitter la page des Options"));
    EXPECT_EQ(FToggle.toolTip(), QStringLiteral("Quitter la page des Options"));

    FToggle.Execute();
    EXPECT_EQ(FCalls, (QStringList {QStringLiteral("false"), QStringLiteral("true")}));
    EXPECT_FALSE(FToggle.Checked());
    EXPECT_EQ(FToggle.Caption(), QStringLiteral("Options"));
    EXPECT_EQ(FToggle.Hint(), QStringLiteral("Ouvrir la page des Options pour les gérer."));
}

TEST_F(ToggleTest, AutoCheckFlipsFlagButNotCaptionOrHandler)
{
    // Handlers that leave the state alone show what AutoCheck does itself.
    FToggle.OnfalseExecute = [this](TCustomSuperAction *) { FCalls << QStringLiteral("false"); };
    FToggle.Execute();
    EXPECT_TRUE(FToggle.Checked());
    EXPECT_EQ(FToggle.Caption(), QStringLiteral("Options"));
    // The next execution first lines everything up with the flag.
    FToggle.Execute();
    EXPECT_EQ(FCalls, (QStringList {QStringLiteral("false"), QStringLiteral("true")}));
    EXPECT_EQ(FToggle.Caption(), QStringLiteral("Options"));  // true handler unchecked it
}

TEST_F(ToggleTest, SetCheckedSwitchesWholeStateWithoutRunningHandler)
{
    FToggle.TrueImageIndex = 62;
    FToggle.SetChecked(true);
    EXPECT_TRUE(FCalls.isEmpty());
    EXPECT_EQ(FToggle.Caption(), QStringLiteral("Sortir"));
    EXPECT_EQ(FToggle.imageindex(), 62);
    FToggle.SetChecked(false);
    EXPECT_EQ(FToggle.imageindex(), 26);
    EXPECT_EQ(FToggle.Hint(), QStringLiteral("Ouvrir la page des Options pour les gérer."));
}

TEST_F(ToggleTest, CancelledPrepareLeavesToggleUnchanged)
{
    FToggle.Onprepare = [](TCustomSuperAction *) { ActionProceed = false; };
    FToggle.Execute();
    EXPECT_TRUE(FCalls.isEmpty());
    EXPECT_FALSE(FToggle.Checked());
}

TEST(ActionList, SharedShortcutGoesToFirstActionOnly)
{
    TActionList list;
    TSuperAction folder, disc, files;
    folder.SetShortCut(QKeySequence(QStringLiteral("Ctrl+D")));
    disc.SetShortCut(QKeySequence(QStringLiteral("Ctrl+D")));
    files.SetShortCut(QKeySequence(QStringLiteral("Ctrl+O")));
    list.Add(&folder);
    list.Add(&disc);
    list.Add(&files);
    EXPECT_EQ(folder.shortcut(), QKeySequence(QStringLiteral("Ctrl+D")));
    EXPECT_TRUE(disc.shortcut().isEmpty());
    EXPECT_EQ(disc.ShortCut(), QKeySequence(QStringLiteral("Ctrl+D")));
    EXPECT_EQ(files.shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
}

TEST(ActionList, ShortcutChangedAfterAddingFollowsListOrder)
{
    TActionList list;
    TSuperAction first, second;
    list.Add(&first);
    list.Add(&second);
    second.SetShortCut(QKeySequence(QStringLiteral("Ctrl+P")));
    EXPECT_EQ(second.shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    first.SetShortCut(QKeySequence(QStringLiteral("Ctrl+P")));
    EXPECT_EQ(first.shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    EXPECT_TRUE(second.shortcut().isEmpty());
    first.SetShortCut(QKeySequence());
    EXPECT_EQ(second.shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
}

TEST(ActionList, ImagesGivenLaterReachEveryAction)
{
    TActionList list;
    TSuperAction action;
    action.Setimageindex(5);
    list.Add(&action);
    EXPECT_TRUE(action.icon().isNull());
    TImageList images(25, 25);
    images.Add({5, QStringLiteral("document-open")});
    list.SetImages(&images);
    EXPECT_FALSE(action.icon().isNull());
    QVector<TImageList *> told;
    action.OnImageChanged = [&](TImageList *il, int) { told.append(il); };
    action.Setimageindex(-1);
    EXPECT_EQ(told, QVector<TImageList *> {&images});
}

// Without any icon theme each button still gets its own picture: the one
// bundled under its freedesktop name.
TEST(ImageList, BundledPictureWhenThemeHasNone)
{
    const QStringList searchPaths = QIcon::themeSearchPaths();
    QIcon::setThemeSearchPaths({});
    TImageList images(25, 25);
    images.Add({3, QStringLiteral("view-list")});
    images.Add({4, QStringLiteral("no-such-icon-anywhere")});
    QIcon::setThemeSearchPaths(searchPaths);
    EXPECT_FALSE(images.FromTheme(3));
    EXPECT_EQ(images.Icon(3).pixmap(25, 25).toImage(), BundledIcon("view-list").pixmap(25, 25).toImage());
    EXPECT_TRUE(images.Icon(4).isNull());
    EXPECT_TRUE(images.Icon(2).isNull());
    EXPECT_TRUE(images.Icon(99).isNull());
}

}  // namespace
