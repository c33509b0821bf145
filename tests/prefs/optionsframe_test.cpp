// The options page's "Destination des disques" group and disc size, on the
// offscreen platform, with a script standing in for the burner's drive list.
#include "src/prefs/localiserfichiersframe.h"
#include "src/prefs/optionsframe.h"
#include "tests/prefs/prefstestutil.h"
#include "tests/support/waituntil.h"
#include "src/widgets/widedialogedit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace {

class OptionsDestinationTest : public PrefsPlace
{
protected:
    void SetUp() override
    {
        PrefsPlace::SetUp();
        Settings = TSettings();
        Settings.ImgBurnFile = where.ExeFolder() + QStringLiteral("imgburn");
        Settings.DossierImages = QStringLiteral("/data/images/");
    }

    // The page shown with the drives the burner lists, once it answered.
    std::unique_ptr<TOptionsFrame> ShowPage(const QByteArray &driveLines)
    {
        PutDriveLister(Settings.ImgBurnFile, driveLines);
        auto page = std::make_unique<TOptionsFrame>(where);
        page->ShowSettings(Settings);
        page->show();
        EXPECT_TRUE(WaitUntil([&] { return page->DrivesListed(); }, 10'000));
        return page;
    }

    static QStringList Items(const QComboBox *box)
    {
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        return items;
    }
};

TEST_F(OptionsDestinationTest, WithoutBurnerOffersTheImageFiles)
{
    auto page = ShowPage("");
    EXPECT_EQ(page->gbDestination->title(), QStringLiteral("Destination des disques"));
    EXPECT_EQ(Items(page->cbGraveurs), QStringList {QStringLiteral("Aucun graveur détecté")});
    EXPECT_TRUE(page->rbImage->isVisible());
    EXPECT_EQ(page->rbImage->text(), QStringLiteral("Fichier image (.iso)"));
    EXPECT_EQ(page->deImages->Edit()->text(), QStringLiteral("/data/images/"));

    page->rbImage->click();
    EXPECT_EQ(Settings.Destination, kImageDestination);
    // Back to a burner with none listed: the first one the burner finds.
    page->rbGraveur->click();
    EXPECT_EQ(Settings.Destination, QString());
}

TEST_F(OptionsDestinationTest, ListsTheBurnersAndTakesTheOneChosen)
{
    auto page = ShowPage("/dev/sr0\tLITE-ON iHAS124\tblank\n/dev/sr1\tASUS DRW-24D5MT\tempty\n");
    EXPECT_EQ(Items(page->cbGraveurs),
              QStringList({QStringLiteral("Premier graveur trouvé"),
                           QStringLiteral("LITE-ON iHAS124 (/dev/sr0) - vierge"),
                           QStringLiteral("ASUS DRW-24D5MT (/dev/sr1) - aucun disque")}));
    EXPECT_TRUE(page->rbGraveur->isChecked());
    page->rbImage->click();
    page->cbGraveurs->setCurrentIndex(2);
    emit page->cbGraveurs->activated(2);
    EXPECT_EQ(Settings.Destination, QStringLiteral("/dev/sr1"));
    EXPECT_TRUE(page->rbGraveur->isChecked());
    page->cbGraveurs->setCurrentIndex(0);
    emit page->cbGraveurs->activated(0);
    EXPECT_EQ(Settings.Destination, QString());
}

// A burner chosen earlier that is not there now is still shown, as chosen;
// "Actualiser" asks the burner again.
TEST_F(OptionsDestinationTest, ChosenBurnerMissingStaysShownUntilItComesBack)
{
    Settings.Destination = QStringLiteral("/dev/sr1");
    auto page = ShowPage("/dev/sr0\tLITE-ON\tblank\n");
    EXPECT_EQ(page->cbGraveurs->currentText(), QStringLiteral("/dev/sr1 (introuvable)"));
    PutDriveLister(Settings.ImgBurnFile, "/dev/sr0\tLITE-ON\tblank\n/dev/sr1\tASUS\twritten\n");
    page->ActualiserBtn->click();
    ASSERT_TRUE(WaitUntil([&] { return page->DrivesListed(); }, 10'000));
    EXPECT_EQ(page->cbGraveurs->currentText(), QStringLiteral("ASUS (/dev/sr1) - non vierge"));
    EXPECT_EQ(Settings.Destination, QStringLiteral("/dev/sr1"));
}

TEST_F(OptionsDestinationTest, ImageChoiceAndVerificationShowTheSettings)
{
    Settings.Destination = kImageDestination;
    Settings.Verifier = false;
    auto page = ShowPage("/dev/sr0\tLITE-ON\tblank\n");
    EXPECT_TRUE(page->rbImage->isChecked());
    EXPECT_FALSE(page->cbVerifier->isChecked());
    EXPECT_EQ(page->cbVerifier->text(), QStringLiteral("Vérifier après l'écriture"));
    page->cbVerifier->click();
    EXPECT_TRUE(Settings.Verifier);
    // A burner picked from the list replaces the image files.
    page->cbGraveurs->setCurrentIndex(1);
    emit page->cbGraveurs->activated(1);
    EXPECT_EQ(Settings.Destination, QStringLiteral("/dev/sr0"));
    EXPECT_TRUE(page->rbGraveur->isChecked());
}

TEST_F(OptionsDestinationTest, DiscSizeChoiceSetsTheBytes)
{
    auto page = ShowPage("");
    EXPECT_EQ(Items(page->cbTailleDisque),
              QStringList({QStringLiteral("DVD (4,7 Go)"), QStringLiteral("DVD double couche (8,5 Go)")}));
    EXPECT_EQ(page->cbTailleDisque->currentIndex(), 0);
    page->cbTailleDisque->setCurrentIndex(1);
    emit page->cbTailleDisque->activated(1);
    EXPECT_EQ(Settings.TailleDisque, 8'400'000'000);

    // A size written in the settings by hand shows as it is.
    Settings.TailleDisque = 25'000'000'000;
    page->ShowSettings(Settings);
    EXPECT_EQ(page->cbTailleDisque->count(), 3);
    EXPECT_EQ(page->cbTailleDisque->currentData().toLongLong(), 25'000'000'000);
    EXPECT_TRUE(page->cbTailleDisque->currentText().endsWith(QStringLiteral(" octets")));
}

// The new group lies under the controls placed before it, inside the page.
TEST_F(OptionsDestinationTest, GroupLiesUnderThePlacedControls)
{
    auto page = ShowPage("");
    const QRect group = page->gbDestination->geometry();
    const std::initializer_list<QWidget *> placed = {page->rgPrefs, page->cbDeleteFlux, page->demeta,
                                                     page->LocaliserFichiersFrame};
    for (QWidget *control : placed) {
        EXPECT_GE(group.top(), control->geometry().bottom()) << control->objectName().toStdString();
        EXPECT_FALSE(page->cbTailleDisque->geometry().intersects(control->geometry()))
            << control->objectName().toStdString();
    }
    EXPECT_LE(group.bottom(), page->height());
    EXPECT_LE(page->height(), 504);
    for (QWidget *child : page->gbDestination->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        EXPECT_TRUE(QRect(QPoint(), group.size()).contains(child->geometry()))
            << child->objectName().toStdString();
}

}  // namespace
