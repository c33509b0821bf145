// The small tag markup of the message panels, read without any widget:
// which characters are displayed, which attributes each run of them takes,
// how each paragraph is aligned, and which link lies under a displayed
// character. TLinkEdit draws what this computes.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// A colour as 0xAARRGGBB, so that no GUI type is needed here.
using TMarkupColor = std::uint32_t;

// The text attributes a tag changes.
struct TMarkupAttributes
{
    QString FontName;
    double Size = 0;  // points
    TMarkupColor Color = 0xFF000000;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;

    bool operator==(const TMarkupAttributes &) const = default;
};

// What the control contributes: its own font and colours, and the two
// system colours the colour table names.
struct TMarkupDefaults
{
    TMarkupAttributes Font;  // the control's font, colour and style
    TMarkupColor UrlColor = 0xFF000080;
    TMarkupColor MailColor = 0xFF000080;
    TMarkupColor LinkColor = 0xFF000080;
    TMarkupColor BtnFace = 0xFFF0F0F0;
    TMarkupColor AppWorkspace = 0xFFABABAB;
};

// What a text leaves behind for the next text set on the same control: the
// current attributes, and the single slot the link tags save into.
struct TMarkupState
{
    TMarkupAttributes Current;
    TMarkupColor SavedColor = 0xFF000000;
    TMarkupAttributes SavedStyle;  // only its four style flags are used

    // The state of a control whose font was just set.
    static TMarkupState FromFont(const TMarkupAttributes &font);
};

enum class TParagraphAlign { Control, Left, Right, Center };

// Displayed characters [Start, Start + Length) all take Attributes.
struct TMarkupRun
{
    qsizetype Start = 0;
    qsizetype Length = 0;
    TMarkupAttributes Attributes;
};

// The line break of a tag in the displayed text. A paragraph separator
// written in the source itself is displayed as a line separator instead, so
// that paragraphs are ended by tags only.
inline constexpr QChar kMarkupBreak = QChar::ParagraphSeparator;

// The markup turned into text: every line break of a tag is one MarkupBreak
// in Text. Aligns holds one entry per paragraph (the number of MarkupBreak
// plus one).
struct TMarkupText
{
    QString Text;
    std::vector<TMarkupRun> Runs;  // in order, covering Text exactly
    std::vector<TParagraphAlign> Aligns;
};

// Renders source (up to its end or its first NUL character), starting from
// and updating state.
TMarkupText RenderMarkup(const QString &source, TMarkupState &state, const TMarkupDefaults &defaults);

enum class TLinkKind { Url, Mail, Custom };

struct TMarkupLink
{
    TLinkKind Kind = TLinkKind::Url;
    QString Target;  // letter case kept
};

// The link whose displayed text holds the character at index of the
// displayed text; none when that character is in no link or in a link
// without target.
std::optional<TMarkupLink> LinkAt(const QString &source, qsizetype index);
