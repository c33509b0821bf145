#include "widgets/linkedit.h"

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
        parent.resize(400, 200);
        edit = new TLinkEdit(&parent);
        edit->setGeometry(0, 0, 400, 200);
        QFont font(QStringLiteral("Arial"));
        font.setPointSize(10);
        edit->setFont(font);
        parent.show();
    }

    // Middle of the displayed character at index, in viewport coordinates.
    QPoint CharCentre(int index) const
    {
        QTextCursor cursor(edit->document());
        cursor.setPosition(index);
        const QRect left = edit->cursorRect(cursor);
        cursor.setPosition(index + 1);
        const QRect right = edit->cursorRect(cursor);
        return QPoint((left.left() + right.left()) / 2, left.center().y());
    }

    void Move(QPoint at)
    {
        QMouseEvent move(QEvent::MouseMove, at, edit->viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(edit->viewport(), &move);
    }

    void Release(QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        QMouseEvent press(QEvent::MouseButtonPress, at, edit->viewport()->mapToGlobal(at), button, button,
                          Qt::NoModifier);
        QApplication::sendEvent(edit->viewport(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, edit->viewport()->mapToGlobal(at), button,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(edit->viewport(), &release);
    }

    QTextCharFormat FormatAt(int index) const
    {
        QTextCursor cursor(edit->document());
        cursor.setPosition(index + 1);  // the format of the character before the cursor
        return cursor.charFormat();
    }

    QWidget parent;
    TLinkEdit *edit = nullptr;
};

TEST_F(LinkEditTest, RendersAttributesAndParagraphs)
{
    edit->Alignment = Qt::AlignHCenter;
    edit->SetRichText(QStringLiteral("<Size 12>Il manque le fichier <color Maroon><B>tsmuxer</B></color>"
                                     "<br left>Localisez-le ci-dessous.</Size>"));
    QTextDocument *doc = edit->document();
    EXPECT_EQ(doc->toPlainText(), QStringLiteral("Il manque le fichier tsmuxer\nLocalisez-le ci-dessous."));
    EXPECT_EQ(FormatAt(0).fontPointSize(), 12);
    EXPECT_EQ(FormatAt(0).fontWeight(), QFont::Normal);
    EXPECT_EQ(FormatAt(21).foreground().color(), QColor(128, 0, 0));
    EXPECT_EQ(FormatAt(21).fontWeight(), QFont::Bold);
    EXPECT_EQ(FormatAt(30).fontPointSize(), 12);
    EXPECT_EQ(FormatAt(30).foreground().color(), edit->palette().color(QPalette::Text));
    EXPECT_EQ(doc->firstBlock().blockFormat().alignment(), Qt::AlignLeft);
    EXPECT_EQ(doc->lastBlock().blockFormat().alignment(), Qt::AlignHCenter);
}

TEST_F(LinkEditTest, VisibleAfterEverySetRichText)
{
    edit->hide();
    edit->SetRichText(QStringLiteral("x"));
    EXPECT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->RichText(), QStringLiteral("x"));
}

TEST_F(LinkEditTest, FontChangeRestartsTheAttributes)
{
    edit->SetRichText(QStringLiteral("<size 20><b>x"));
    edit->SetRichText(QStringLiteral("y"));
    EXPECT_EQ(FormatAt(0).fontPointSize(), 20);
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(11);
    edit->setFont(font);
    edit->SetRichText(QStringLiteral("y"));
    EXPECT_EQ(FormatAt(0).fontPointSize(), 11);
    EXPECT_EQ(FormatAt(0).fontWeight(), QFont::Normal);
}

TEST_F(LinkEditTest, PointerAndHintOverAUrl)
{
    edit->SetRichText(QStringLiteral("voir <url site>ici</url> ou là"));
    QStringList hinted;
    edit->OnUrlHint = [&](const QString &link, QString &hint) {
        hinted << link;
        hint = QStringLiteral("aller à ") + link;
    };
    QSignalSpy clicks(edit, &TLinkEdit::UrlClick);

    Move(CharCentre(6));  // the "c" of "ici"
    EXPECT_EQ(edit->viewport()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(hinted, QStringList{QStringLiteral("site")});
    EXPECT_EQ(edit->toolTip(), QStringLiteral("aller à site"));
    EXPECT_TRUE(edit->HintsOn());

    Release(CharCentre(5), Qt::RightButton);  // any button
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks.at(0).at(0).toString(), QStringLiteral("site"));

    Move(CharCentre(1));
    EXPECT_EQ(edit->viewport()->cursor().shape(), Qt::ArrowCursor);
    EXPECT_FALSE(edit->HintsOn());
    Release(CharCentre(9));  // "ou": no link
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(LinkEditTest, LinkWithoutTargetIsNoLink)
{
    edit->SetRichText(QStringLiteral("<url>ici</url>"));
    QSignalSpy clicks(edit, &TLinkEdit::UrlClick);
    Move(CharCentre(1));
    EXPECT_EQ(edit->viewport()->cursor().shape(), Qt::ArrowCursor);
    Release(CharCentre(1));
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(FormatAt(1).foreground().color(), QColor(0, 0, 128));
    EXPECT_TRUE(FormatAt(1).fontUnderline());
}

TEST_F(LinkEditTest, EachKindHasItsSignal)
{
    edit->SetRichText(QStringLiteral("<mail moi@ici.fr>m</mail> <link Options>o</link>"));
    QSignalSpy mails(edit, &TLinkEdit::MailClick);
    QSignalSpy customs(edit, &TLinkEdit::CustomLinkClick);
    Release(CharCentre(0));
    Release(CharCentre(2));
    ASSERT_EQ(mails.count(), 1);
    EXPECT_EQ(mails.at(0).at(0).toString(), QStringLiteral("moi@ici.fr"));
    ASSERT_EQ(customs.count(), 1);
    EXPECT_EQ(customs.at(0).at(0).toString(), QStringLiteral("Options"));
}

TEST_F(LinkEditTest, LinkOnSecondLineOnly)
{
    edit->SetRichText(QStringLiteral("ab<br><url t>cd</url>"));
    EXPECT_EQ(edit->CharIndexAt(CharCentre(3)), 3);
    EXPECT_TRUE(edit->LinkAtPoint(CharCentre(3)).has_value());
    EXPECT_TRUE(edit->LinkAtPoint(CharCentre(4)).has_value());
    EXPECT_FALSE(edit->LinkAtPoint(CharCentre(0)).has_value());
    EXPECT_FALSE(edit->LinkAtPoint(CharCentre(1)).has_value());
    // Right of the end of the first line is over no character.
    EXPECT_EQ(edit->CharIndexAt(CharCentre(1) + QPoint(200, 0)), -1);
}

TEST_F(LinkEditTest, LineEndsWrittenInTheTextKeepLinksInPlace)
{
    edit->SetRichText(QStringLiteral("ab\r\n<url t>cd</url>"));
    EXPECT_EQ(edit->document()->characterCount(), 7);  // one position per displayed character, plus the end
    EXPECT_FALSE(edit->LinkAtPoint(CharCentre(1)).has_value());
    EXPECT_TRUE(edit->LinkAtPoint(CharCentre(4)).has_value());
}

}  // namespace
