#include "src/widgets/linkmarkup.h"

#include <gtest/gtest.h>

namespace {

constexpr TMarkupColor kBlack = 0xFF000000, kMaroon = 0xFF800000, kNavy = 0xFF000080, kRed = 0xFFFF0000;
constexpr TMarkupColor kUrlBlue = 0xFF0000CC, kMailGreen = 0xFF00CC00, kLinkPink = 0xFFCC00CC;

TMarkupDefaults Defaults()
{
    TMarkupDefaults d;
    d.Font.FontName = QStringLiteral("Arial");
    d.Font.Size = 9;
    d.Font.Color = kBlack;
    d.UrlColor = kUrlBlue;
    d.MailColor = kMailGreen;
    d.LinkColor = kLinkPink;
    d.BtnFace = 0xFFEEEEEE;
    return d;
}

// One control: its state goes from one text to the next.
class Markup : public testing::Test
{
protected:
    TMarkupText Render(const QString &source) { return RenderMarkup(source, FState, FDefaults); }

    // The attributes of the displayed character at index.
    static TMarkupAttributes At(const TMarkupText &text, qsizetype index)
    {
        for (const TMarkupRun &run : text.Runs)
            if (run.Start <= index && index < run.Start + run.Length)
                return run.Attributes;
        ADD_FAILURE() << "no run holds " << index;
        return {};
    }

    TMarkupDefaults FDefaults = Defaults();
    TMarkupState FState = TMarkupState::FromFont(FDefaults.Font);
};

TEST_F(Markup, StyleTagsInAnyLetterCase)
{
    const TMarkupText t = Render(QStringLiteral("a<b>b</b>c<B>x</b><i>i</I><u>u</u><s>s</S>"));
    EXPECT_EQ(t.Text, QStringLiteral("abcxius"));
    EXPECT_FALSE(At(t, 0).Bold);
    EXPECT_TRUE(At(t, 1).Bold);
    EXPECT_FALSE(At(t, 2).Bold);
    EXPECT_TRUE(At(t, 3).Bold);
    EXPECT_TRUE(At(t, 4).Italic);
    EXPECT_TRUE(At(t, 5).Underline);
    EXPECT_TRUE(At(t, 6).StrikeOut);
    EXPECT_FALSE(At(t, 6).Italic);
}

TEST_F(Markup, StyleTagsDoNotCount)
{
    const TMarkupText t = Render(QStringLiteral("<b><b>x</b>y"));
    EXPECT_TRUE(At(t, 0).Bold);
    EXPECT_FALSE(At(t, 1).Bold);
}

TEST_F(Markup, ToolNameInBoldMaroonThenBackToFont)
{
    const TMarkupText t = Render(QStringLiteral("<color Maroon><B>tsmuxer</B></color> et"));
    EXPECT_EQ(t.Text, QStringLiteral("tsmuxer et"));
    EXPECT_EQ(At(t, 0).Color, kMaroon);
    EXPECT_TRUE(At(t, 6).Bold);
    EXPECT_EQ(At(t, 8).Color, kBlack);
    EXPECT_FALSE(At(t, 8).Bold);
}

TEST_F(Markup, ColourSizeAndFontParameters)
{
    struct Case
    {
        const char *source;
        TMarkupColor color;
        double size;
        const char *font;
    };
    const Case cases[] = {
        {"<color Pink>x", kBlack, 9, "Arial"},  // unknown colour: unchanged
        {"<color red>x", kRed, 9, "Arial"},
        {"<COLOR   navy  >x", kNavy, 9, "Arial"},
        {"<color btnface>x", 0xFFEEEEEE, 9, "Arial"},  // a system colour
        {"<size abc>x", kBlack, 0, "Arial"},  // not a number: 0
        {"<Size 12>x", kBlack, 12, "Arial"},
        {"<font Times New Roman>x", kBlack, 9, "TIMES NEW ROMAN"},
        {"<color red><size 14><font Courier></color></size></font>x", kBlack, 9, "Arial"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.source);
        FState = TMarkupState::FromFont(FDefaults.Font);
        const TMarkupAttributes a = At(Render(QString::fromUtf8(c.source)), 0);
        EXPECT_EQ(a.Color, c.color);
        EXPECT_EQ(a.Size, c.size);
        EXPECT_EQ(a.FontName, QString::fromUtf8(c.font));
    }
}

TEST_F(Markup, DisplayedText)
{
    const std::pair<const char *, const char *> cases[] = {
        {"x<unknown>y", "xy"},  {"a > b", "a > b"},
        {"a<<>b", "a<b"},       {"a<b", "a"},
        {"a<b<c", "a"},         {"a<br>b", "a\u2029b"},
        {"a<Br>b", "a\u2029b"}, {"a<br >b", "a\u2029b"},
        {"a< br>b", "ab"},      {"a<brx>b", "ab"},
        {"a<br\tx>b", "ab"},    {"<>x", "x"},
        {"a<b>>c", "a>c"},      {"", ""},
        {"a\nb", "a\nb"},       {"a\u2029b", "a\u2028b"},  // only tags end paragraphs
    };
    for (const auto &[source, shown] : cases)
        EXPECT_EQ(Render(QString::fromUtf8(source)).Text, QString::fromUtf8(shown)) << source;
}

TEST_F(Markup, EndsAtFirstNul)
{
    const QString source = QStringLiteral("ab") + QChar(u'\0') + QStringLiteral("<b>c");
    EXPECT_EQ(Render(source).Text, QStringLiteral("ab"));
    EXPECT_FALSE(FState.Current.Bold);
}

TEST_F(Markup, LineBreakAlignsTheParagraphItEnds)
{
    const TMarkupText t = Render(QStringLiteral("a<br center>b<br RIGHT>c<br left>d<br>e<br nowhere>f"));
    EXPECT_EQ(t.Text, QString::fromUtf8("a\u2029b\u2029c\u2029d\u2029e\u2029f"));
    const std::vector<TParagraphAlign> expected = {TParagraphAlign::Center,  TParagraphAlign::Right,
                                                   TParagraphAlign::Left,    TParagraphAlign::Control,
                                                   TParagraphAlign::Control, TParagraphAlign::Control};
    EXPECT_EQ(t.Aligns, expected);
}

TEST_F(Markup, OpenSizeCoversTheWholeTextAndTheNextOne)
{
    const TMarkupText t = Render(QStringLiteral("<Size 12>Il manque le fichier<br>Localisez-le."));
    for (qsizetype i = 0; i < t.Text.size(); ++i)
        EXPECT_EQ(At(t, i).Size, 12) << i;  // the line break and the last line too
    const TMarkupText next = Render(QStringLiteral("suite"));
    EXPECT_EQ(At(next, 0).Size, 12);
}

TEST_F(Markup, RunsCoverTheTextInOrder)
{
    const TMarkupText t = Render(QStringLiteral("<b>a<<>b</b><br>c<i>"));
    qsizetype end = 0;
    for (const TMarkupRun &run : t.Runs) {
        EXPECT_EQ(run.Start, end);
        EXPECT_GT(run.Length, 0);
        end += run.Length;
    }
    EXPECT_EQ(end, t.Text.size());
    EXPECT_EQ(t.Text, QString::fromUtf8("a<b\u2029c"));
    EXPECT_TRUE(At(t, 1).Bold);  // a "<" shown from inside a tag, before it takes effect
    EXPECT_FALSE(At(t, 3).Bold);  // the break of "<br>" after "</b>"
}

TEST_F(Markup, LinksTakeTheirColourAndUnderline)
{
    const TMarkupText t = Render(QStringLiteral("<url site>u</url><mail a@b>m</mail><link k>k</link>x"));
    EXPECT_EQ(At(t, 0).Color, kUrlBlue);
    EXPECT_EQ(At(t, 1).Color, kMailGreen);
    EXPECT_EQ(At(t, 2).Color, kLinkPink);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(At(t, i).Underline) << i;
    EXPECT_EQ(At(t, 3).Color, kBlack);
    EXPECT_FALSE(At(t, 3).Underline);
}

TEST_F(Markup, LinkSlotRestoresColourAndStyle)
{
    const TMarkupText bold = Render(QStringLiteral("<b><url x>y</url>z"));
    EXPECT_TRUE(At(bold, 1).Bold);
    EXPECT_FALSE(At(bold, 1).Underline);

    // One slot, not a stack: both closings restore what "<mail b>" saved.
    FState = TMarkupState::FromFont(FDefaults.Font);
    const TMarkupText nested = Render(QStringLiteral("<url a><mail b>x</mail>y</url>z"));
    EXPECT_EQ(At(nested, 1).Color, kUrlBlue);
    EXPECT_TRUE(At(nested, 1).Underline);
    EXPECT_EQ(At(nested, 2).Color, kUrlBlue);
    EXPECT_TRUE(At(nested, 2).Underline);
}

struct LinkCase
{
    const char *source;
    qsizetype index;
    bool found;
    TLinkKind kind;
    const char *target;
};

class LinkAtCase : public testing::TestWithParam<LinkCase>
{ };

TEST_P(LinkAtCase, FindsTheLinkUnderTheCharacter)
{
    const LinkCase c = GetParam();
    const std::optional<TMarkupLink> link = LinkAt(QString::fromUtf8(c.source), c.index);
    ASSERT_EQ(link.has_value(), c.found);
    if (link) {
        EXPECT_EQ(link->Kind, c.kind);
        EXPECT_EQ(link->Target, QString::fromUtf8(c.target));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Links, LinkAtCase,
    testing::Values(LinkCase {"<url site>ici</url>", 0, true, TLinkKind::Url, "site"},
                    LinkCase {"<url site>ici</url>", 2, true, TLinkKind::Url, "site"},
                    LinkCase {"<url site>ici</url>x", 3, false, TLinkKind::Url, ""},
                    LinkCase {"<url>ici</url>", 1, false, TLinkKind::Url, ""},  // no target
                    LinkCase {"<mail Moi@Ici.fr>m</mail>", 0, true, TLinkKind::Mail, "Moi@Ici.fr"},
                    LinkCase {"a<LINK Options>o</link>", 1, true, TLinkKind::Custom, "Options"},
                    LinkCase {"a<LINK Options>o</link>", 0, false, TLinkKind::Custom, ""},
                    LinkCase {"ab<br><url t>cd</url>", 3, true, TLinkKind::Url, "t"},  // c
                    LinkCase {"ab<br><url t>cd</url>", 4, true, TLinkKind::Url, "t"},  // d
                    LinkCase {"ab<br><url t>cd</url>", 2, false, TLinkKind::Url, ""},  // the break
                    LinkCase {"<url a>x</mail>y</url>", 1, true, TLinkKind::Url, "a"},  // other kind
                    LinkCase {"<url a>x<link b>y</link>", 0, false, TLinkKind::Url, ""},  // replaced
                    LinkCase {"<url a>x<link b>y</link>", 1, true, TLinkKind::Custom, "b"},
                    LinkCase {"<url a>x</url>y</url>", 1, false, TLinkKind::Url, ""},  // ended
                    LinkCase {"<url a>x", 0, false, TLinkKind::Url, ""}));  // never closed

}  // namespace
