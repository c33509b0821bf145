#include "src/widgets/linkedit.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

namespace {

class LinkEditTest : public testing::Test
{
protected:
    void SetUp() override
    {
        FParent.resize(400, 200);
        FEdit = new TLinkEdit(&FParent);
        FEdit->setGeometry(0, 0, 400, 200);
        QFont font(QStringLiteral("Arial"));
        font.setPointSize(10);
        FEdit->setFont(font);
        FParent.show();
    }

    // Middle of the displayed character at index, in viewport coordinates.
    QPoint CharCentre(int index) const
    {
        QTextCursor cursor(FEdit->document());
        cursor.setPosition(index);
        const QRect left = FEdit->cursorRect(cursor);
        cursor.setPosition(index + 1);
        const QRect right = FEdit->cursorRect(cursor);
        return QPoint((left.left() + right.left()) / 2, left.center().y());
    }

    void Move(QPoint at)
    {
        QMouseEvent move(QEvent::MouseMove, at, FEdit->viewport()->mapToGlobal(at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(FEdit->viewport(), &move);
    }

    void Release(QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        QMouseEvent press(QEvent::MouseButtonPress, at, FEdit->viewport()->mapToGlobal(at), button, button,
                          Qt::NoModifier);
        QApplication::sendEvent(FEdit->viewport(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, FEdit->viewport()->mapToGlobal(at), button,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(FEdit->viewport(), &release);
    }

    QTextCharFormat FormatAt(int index) const
    {
        QTextCursor cursor(FEdit->document());
        cursor.setPosition(index + 1);  // the format of the character before the cursor
        return cursor.charFormat();
    }

    QWidget FParent;
    TLinkEdit *FEdit = nullptr;
};

TEST_F(LinkEditTest, RendersAttributesAndParagraphs)
{
    FEdit->Alignment = Qt::AlignHCenter;
    FEdit->SetRichText(QStringLiteral("<Size 12>Il manque le fichier <color Maroon><B>tsmuxer</B></color>"
                                      "<br left>Localisez-le ci-dessous.</Size>"));
    QTextDocument *doc = FEdit->document();
    EXPECT_EQ(doc->toPlainText(), QStringLiteral("Il manque le fichier tsmuxer\nLocalisez-le ci-dessous."));
    EXPECT_EQ(FormatAt(0).fontPointSize(), 12);
    EXPECT_EQ(FormatAt(0).fontWeight(), QFont::Normal);
    EXPECT_EQ(FormatAt(21).foreground().color(), QColor(128, 0, 0));
    EXPECT_EQ(FormatAt(21).fontWeight(), QFont::Bold);
    EXPECT_EQ(FormatAt(30).fontPointSize(), 12);
    EXPECT_EQ(FormatAt(30).foreground().color(), FEdit->palette().color(QPalette::Text));
    EXPECT_EQ(doc->firstBlock().blockFormat().alignment(), Qt::AlignLeft);
    EXPECT_EQ(doc->lastBlock().blockFormat().alignment(), Qt::AlignHCenter);
}

TEST_F(LinkEditTest, VisibleAfterEverySetRichText)
{
    FEdit->hide();
    FEdit->SetRichText(QStringLiteral("x"));
    EXPECT_TRUE(FEdit->isVisible());
    EXPECT_EQ(FEdit->RichText(), QStringLiteral("x"));
}

TEST_F(LinkEditTest, FontChangeRestartsTheAttributes)
{
    FEdit->SetRichText(QStringLiteral("<size 20><b>x"));
    FEdit->SetRichText(QStringLiteral("y"));
    EXPECT_EQ(FormatAt(0).fontPointSize(), 20);
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(11);
    FEdit->setFont(font);
    FEdit->SetRichText(QStringLiteral("y"));
    EXPECT_EQ(FormatAt(0).fontPointSize(), 11);
    EXPECT_EQ(FormatAt(0).fontWeight(), QFont::Normal);
}

TEST_F(LinkEditTest, PointerAndHintOverAUrl)
{
    FEdit->SetRichText(QStringLiteral("voir <url site>ici</url> ou là"));
    QStringList hinted;
    FEdit->OnUrlHint = [&](const QString &link, QString &hint) {
        hinted << link;
        hint = QStringLiteral("aller à ") + link;
    };
    QSignalSpy clicks(FEdit, &TLinkEdit::UrlClick);

    Move(CharCentre(6));  // the "c" of "ici"
    EXPECT_EQ(FEdit->viewport()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(hinted, QStringList {QStringLiteral("site")});
    EXPECT_EQ(FEdit->toolTip(), QStringLiteral("aller à site"));
    EXPECT_TRUE(FEdit->HintsOn());

    Release(CharCentre(5), Qt::RightButton);  // any button
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks.at(0).at(0).toString(), QStringLiteral("site"));

    Move(CharCentre(1));
    EXPECT_EQ(FEdit->viewport()->cursor().shape(), Qt::ArrowCursor);
    EXPECT_FALSE(FEdit->HintsOn());
    Release(CharCentre(9));  // "ou": no link
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(LinkEditTest, LinkWithoutTargetIsNoLink)
{
    FEdit->SetRichText(QStringLiteral("<url>ici</url>"));
    QSignalSpy clicks(FEdit, &TLinkEdit::UrlClick);
    Move(CharCentre(1));
    EXPECT_EQ(FEdit->viewport()->cursor().shape(), Qt::ArrowCursor);
    Release(CharCentre(1));
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(FormatAt(1).foreground().color(), QColor(0, 0, 128));
    EXPECT_TRUE(FormatAt(1).fontUnderline());
}

TEST_F(LinkEditTest, EachKindHasItsSignal)
{
    FEdit->SetRichText(QStringLiteral("<mail moi@ici.fr>m</mail> <link Options>o</link>"));
    QSignalSpy mails(FEdit, &TLinkEdit::MailClick);
    QSignalSpy customs(FEdit, &TLinkEdit::CustomLinkClick);
    Release(CharCentre(0));
    Release(CharCentre(2));
    ASSERT_EQ(mails.count(), 1);
    EXPECT_EQ(mails.at(0).at(0).toString(), QStringLiteral("moi@ici.fr"));
    ASSERT_EQ(customs.count(), 1);
    EXPECT_EQ(customs.at(0).at(0).toString(), QStringLiteral("Options"));
}

TEST_F(LinkEditTest, LinkOnSecondLineOnly)
{
    FEdit->SetRichText(QStringLiteral("ab<br><url t>cd</url>"));
    EXPECT_EQ(FEdit->CharIndexAt(CharCentre(3)), 3);
    EXPECT_TRUE(FEdit->LinkAtPoint(CharCentre(3)).has_value());
    EXPECT_TRUE(FEdit->LinkAtPoint(CharCentre(4)).has_value());
    EXPECT_FALSE(FEdit->LinkAtPoint(CharCentre(0)).has_value());
    EXPECT_FALSE(FEdit->LinkAtPoint(CharCentre(1)).has_value());
    // Right of the end of the first line is over no character.
    EXPECT_EQ(FEdit->CharIndexAt(CharCentre(1) + QPoint(200, 0)), -1);
}

TEST_F(LinkEditTest, LineEndsWrittenInTheTextKeepLinksInPlace)
{
    FEdit->SetRichText(QStringLiteral("ab\r\n<url t>cd</url>"));
    EXPECT_EQ(FEdit->document()->characterCount(), 7);  // one position per displayed character, plus the end
    EXPECT_FALSE(FEdit->LinkAtPoint(CharCentre(1)).has_value());
    EXPECT_TRUE(FEdit->LinkAtPoint(CharCentre(4)).has_value());
}

}  // namespace
