// The about page on the offscreen platform: its texts, the colours of its
// links, the hints, and what a click on a link opens (caught by URL
// handlers, so that nothing is started).
#include "src/widgets/aproposframe.h"

#include "src/widgets/linkedit.h"
#include "tests/support/urlcatcher.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

namespace {

const QString Home = QStringLiteral("https://tavrel.example/aide");
const QString Mail = QStringLiteral("auteur@tavrel.example");

class AProposTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static QTemporaryDir home;
        qputenv("HOME", home.path().toUtf8());
    }

    void SetUp() override
    {
        for (const char *scheme : {"mailto", "https", "file"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), &FCatcher, "Open");
        FPage.show();
    }
    void TearDown() override
    {
        for (const char *scheme : {"mailto", "https", "file"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }

    // The format of the last character of the first occurrence of text.
    static QTextCharFormat FormatOf(TLinkEdit *box, const QString &text)
    {
        const QTextCursor found = box->document()->find(text, 0, QTextDocument::FindCaseSensitively);
        EXPECT_FALSE(found.isNull()) << text.toStdString();
        return found.charFormat();
    }

    // Clicks the middle of the first occurrence of text.
    static void Click(TLinkEdit *box, const QString &text)
    {
        QTextCursor found = box->document()->find(text, 0, QTextDocument::FindCaseSensitively);
        ASSERT_FALSE(found.isNull()) << text.toStdString();
        found.setPosition(found.selectionStart() + int(text.size() / 2));
        const QPoint at = box->cursorRect(found).center() + QPoint(1, 0);
        for (const QEvent::Type type :
             {QEvent::MouseMove, QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
            const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
            QMouseEvent event(type, at, box->viewport()->mapToGlobal(at), button, held, Qt::NoModifier);
            QApplication::sendEvent(box->viewport(), &event);
        }
    }

    TUrlCatcher FCatcher;
    TAProposFrame FPage {nullptr, Home, Mail};
};

TEST_F(AProposTest, TextsAndLayout)
{
    EXPECT_EQ(FPage.size(), QSize(684, 498));
    EXPECT_EQ(FPage.JvLabel1->text(), QStringLiteral("Tavrel 1.0.3 fr"));
    EXPECT_EQ(FPage.le1->size(), QSize(641, 305));
    EXPECT_EQ(FPage.leHome->size(), QSize(177, 25));
    EXPECT_EQ(FPage.leMail->size(), QSize(177, 25));
    EXPECT_EQ(FPage.leHome->RichText(),
              QStringLiteral("* <URL https://tavrel.example/aide>Homepage de <b>Tavrel</b></URL>"));
    EXPECT_EQ(FPage.leMail->RichText(),
              QStringLiteral("* <mail auteur@tavrel.example>E-mail de <b>Morvek</b></mail>"));
    const QString shown = FPage.le1->toPlainText();
    for (const char *part :
         {"Tavrel a été écrit par Morvek.", "Qt, GStreamer, FFmpeg et libburn",
          "font partie de Tavrel et sont installés avec lui", "eac3to, tsmuxer et ImgBurn sur leurs sites",
          "GStreamer libav", "Sa dernière mise à jour date du 3/07/2011.",
          "rendez-vous sur mon site web. Profitez-en",
          "Sachez que je lis tous les e-mail que je reçois. Mais je réponds rarement, faute de temps!"})
        EXPECT_TRUE(shown.contains(QString::fromUtf8(part))) << part;
    EXPECT_FALSE(shown.contains(u'<'));
    // The help paragraph names the home page and the address given.
    EXPECT_TRUE(FPage.le1->RichText().contains(
        QStringLiteral("<url https://tavrel.example/aide>mon site web</url>")));
    EXPECT_TRUE(FPage.le1->RichText().contains(QStringLiteral("<mail auteur@tavrel.example>e-mail</mail>")));
}

TEST_F(AProposTest, LinkColours)
{
    struct Case
    {
        TLinkEdit *box;
        const char *text;
        QColor colour;
    };
    const QColor navy(0, 0, 128);
    const Case cases[] = {
        {FPage.le1, "mon site web", Qt::black},    {FPage.le1, "e-mail", Qt::black},
        {FPage.le1, "GStreamer libav", Qt::black}, {FPage.le1, "ImgBurn", Qt::black},
        {FPage.leHome, "Homepage de", navy},       {FPage.leMail, "E-mail de", navy},
    };
    for (const Case &c : cases) {
        const QTextCharFormat format = FormatOf(c.box, QString::fromUtf8(c.text));
        EXPECT_EQ(format.foreground().color(), c.colour) << c.text;
        EXPECT_TRUE(format.fontUnderline()) << c.text;
    }
    // Text outside the links is not underlined.
    EXPECT_FALSE(FormatOf(FPage.le1, QStringLiteral("Profitez-en")).fontUnderline());
}

TEST_F(AProposTest, Hints)
{
    for (TLinkEdit *box : {FPage.le1, FPage.leHome, FPage.leMail}) {
        QString hint;
        box->OnUrlHint(Home, hint);
        EXPECT_EQ(hint, QStringLiteral("Cliquez ici pour ouvrir le site web https://tavrel.example/aide\r\n"
                                       "dans votre navigateur par défaut"));
        box->OnMailHint(Mail, hint);
        EXPECT_EQ(hint, QStringLiteral("Cliquez pour envoyer un e-mail à auteur@tavrel.example"));
    }
}

TEST_F(AProposTest, MailLinksWriteToTheAuthorAboutTheProduct)
{
    Click(FPage.le1, QStringLiteral("e-mail"));
    Click(FPage.leMail, QStringLiteral("E-mail de"));
    ASSERT_EQ(FCatcher.Opened.size(), 2);
    for (const QUrl &url : FCatcher.Opened) {
        EXPECT_EQ(url.scheme(), QStringLiteral("mailto"));
        EXPECT_EQ(url.path(), Mail);
        EXPECT_EQ(url.query(QUrl::FullyDecoded), QStringLiteral("subject=A propos de Tavrel 1.0.3 fr&body="));
    }
}

TEST_F(AProposTest, SiteLinksOpenTheHomePage)
{
    Click(FPage.le1, QStringLiteral("mon site web"));
    Click(FPage.leHome, QStringLiteral("Homepage de"));
    ASSERT_EQ(FCatcher.Opened.size(), 2);
    EXPECT_EQ(FCatcher.Opened[0], QUrl(Home));
    EXPECT_EQ(FCatcher.Opened[1], QUrl(Home));
}

TEST(AProposHelpPage, WithoutAHomePageTheSiteLinkOpensTheHelpPageFile)
{
    // A help page that is there: a missing one is told, not opened.
    QTemporaryDir doc;
    const QString helpPage = doc.filePath(QStringLiteral("aide.html"));
    QFile(helpPage).open(QIODevice::WriteOnly);
    TUrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "Open");
    TAProposFrame page(nullptr, helpPage, Mail);
    TAProposFrame::leUrlClick(helpPage);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(catcher.Opened.size(), 1);
    EXPECT_EQ(catcher.Opened[0], QUrl::fromLocalFile(helpPage));
    EXPECT_TRUE(page.leHome->RichText().contains(QStringLiteral("<URL ") + helpPage + u'>'));
}

}  // namespace
