// Saves pictures of the options page, the save-preferences dialog and the
// two dialogs about missing tools (one and three missing), for a person to
// look at their layout and texts.
#include "src/prefs/fichiersmanquantsform.h"
#include "src/prefs/localiserfichiersform.h"
#include "src/prefs/missingtools.h"
#include "src/prefs/optionsframe.h"
#include "src/prefs/saveprefsform.h"
#include "tests/prefs/prefstestutil.h"
#include "tests/support/modalanswer.h"
#include "tests/support/waituntil.h"

#include <QPushButton>

#include <gtest/gtest.h>

namespace {

void Save(QWidget *widget, const char *name)
{
    QDir().mkpath(QStringLiteral(TAVREL_SCREENSHOT_DIR));
    const QString file = QStringLiteral(TAVREL_SCREENSHOT_DIR "/") + QString::fromLatin1(name);
    EXPECT_TRUE(widget->grab().save(file));
    std::printf("picture: %s\n", qPrintable(file));
}

class Pictures : public PrefsPlace
{
protected:
    void SetUp() override
    {
        PrefsPlace::SetUp();
        Settings = TSettings();
        Settings.DossierOuvrir = QStringLiteral("/home/marie/Vidéos/Camescope/");
        Settings.DossierAVCHD = QStringLiteral("/home/marie/AVCHD/");
        Settings.DossierFlux = QStringLiteral("/home/marie/AVCHD/flux/");
        Settings.Dossiermeta = QStringLiteral("/home/marie/AVCHD/meta/");
        Settings.DossierImages = QStringLiteral("/home/marie/Vidéos/Tavrel/");
        Settings.DeleteMeta = true;
        Settings.DeleteFlux = false;
        Settings.PrefsMode = pmNormal;
    }

    // Tools present in bin/ except the missing ones.
    void ToolsMissing(const std::vector<int> &missing)
    {
        for (int tool = 0; tool < 3; ++tool) {
            Settings.*Tools[tool].Setting = where.ExeFolder() + Tools[tool].FileName;
            if (std::find(missing.begin(), missing.end(), tool) == missing.end())
                PutFile(Settings.*Tools[tool].Setting, "x");
        }
    }
};

TEST_F(Pictures, OptionsPage)
{
    ToolsMissing({});
    QWidget window;
    window.setFixedSize(687, 523);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    window.setFont(font);
    // A machine without burner.
    PutDriveLister(Settings.ImgBurnFile, "");
    auto *page = new TOptionsFrame(where, &window);
    page->ShowSettings(Settings);
    window.show();
    EXPECT_TRUE(WaitUntil([page] { return page->DrivesListed(); }, 10'000));
    EXPECT_EQ(page->PrefsIndex(), pmNormal);
    Save(&window, "options.png");

    // Two burners, the second chosen; image files written elsewhere.
    PutDriveLister(Settings.ImgBurnFile,
                   "/dev/sr0\tLITE-ON iHAS124 B\tblank\n/dev/sr1\tASUS DRW-24D5MT\tempty\n");
    Settings.Destination = QStringLiteral("/dev/sr1");
    page->RefreshDrives();
    EXPECT_TRUE(WaitUntil([page] { return page->DrivesListed(); }, 10'000));
    Save(&window, "options-burners.png");
}

TEST_F(Pictures, SavePrefsDialog)
{
    TSavePrefsForm form;
    TModalAnswers answers;
    answers.Then<TSavePrefsForm>([](TSavePrefsForm *f) {
        Save(f, "saveprefs.png");
        f->NormalBtn->click();
    });
    answers.Start();
    TPrefsMode mode = pmNone;
    EXPECT_TRUE(form.Execute(mode));
    EXPECT_EQ(mode, pmNormal);
}

TEST_F(Pictures, ToolsDialogsWithOneAndThreeMissing)
{
    const std::pair<std::vector<int>, const char *> cases[] = {{{1}, "1"}, {{0, 1, 2}, "3"}};
    for (const auto &[missing, count] : cases) {
        ToolsMissing(missing);
        TLocaliserFichiersForm locate;
        TFichiersManquantsForm confirm;
        const std::string locatePicture = std::string("localiser-") + count + ".png";
        const std::string confirmPicture = std::string("manquants-") + count + ".png";
        TModalAnswers answers;
        answers.Then<TLocaliserFichiersForm>([&](TLocaliserFichiersForm *f) {
            Save(f, locatePicture.c_str());
            f->QuitterBtn->click();
        });
        answers.Then<TFichiersManquantsForm>([&](TFichiersManquantsForm *f) {
            Save(f, confirmPicture.c_str());
            f->IgnoreBtn->click();
        });
        answers.Start();
        EXPECT_FALSE(locate.Localiser());
        EXPECT_TRUE(confirm.ConfirmMissing());
        QDir(where.ExeFolder()).removeRecursively();
        QDir().mkpath(where.ExeFolder());
    }
}

}  // namespace
