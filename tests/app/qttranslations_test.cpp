#include "src/app/qttranslations.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>

namespace {

QString ButtonText(QDialogButtonBox::StandardButton which)
{
    QDialogButtonBox box(which);
    return box.button(which)->text();
}

// Qt's standard texts come out in French once its translation is loaded:
// the buttons of message boxes and the labels of the file chooser.
TEST(QtTranslations, StandardDialogsSpeakFrench)
{
    ASSERT_EQ(ButtonText(QDialogButtonBox::Cancel), QStringLiteral("Cancel"));
    ASSERT_TRUE(InstallQtTranslations(*qApp, QLocale(QLocale::French, QLocale::France)));
    EXPECT_EQ(ButtonText(QDialogButtonBox::Cancel), QStringLiteral("Annuler"));
    EXPECT_EQ(ButtonText(QDialogButtonBox::Yes), QStringLiteral("&Oui"));

    QFileDialog chooser;
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    QStringList labels;
    for (const QLabel *label : chooser.findChildren<QLabel *>())
        labels.append(label->text());
    EXPECT_TRUE(labels.contains(QStringLiteral("&Nom de fichier :"))) << labels.join(u'|').toStdString();
    EXPECT_TRUE(labels.contains(QStringLiteral("Voir dans :"))) << labels.join(u'|').toStdString();
}

TEST(QtTranslations, UnknownLanguageLeavesQtInEnglish)
{
    EXPECT_FALSE(InstallQtTranslations(*qApp, QLocale(QLocale::Swahili, QLocale::Kenya)));
}

}  // namespace
