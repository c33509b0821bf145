#include "src/widgets/linkmarkup.h"

#include <array>

namespace {

// A piece of the source: displayed characters, or the content of a tag
// that was closed by ">".
struct TToken
{
    bool IsTag = false;
    QString Text;
};

// Splits the source into displayed text and tags. A "<" inside a tag is
// displayed, before the tag takes effect; a tag left open at the end is
// dropped with everything after its "<".
std::vector<TToken> Tokenize(const QString &source)
{
    std::vector<TToken> tokens;
    QString text, tag;
    qsizetype literalLess = 0;
    bool inTag = false;
    for (const QChar c : source) {
        if (c == QChar(u'\0'))
            break;
        if (!inTag) {
            if (c == u'<') {
                inTag = true;
                tag.clear();
                literalLess = 0;
            } else {
                text += c == kMarkupBreak ? QChar(QChar::LineSeparator) : c;
            }
        } else if (c == u'>') {
            text += QString(literalLess, u'<');
            if (!text.isEmpty())
                tokens.push_back({false, text});
            tokens.push_back({true, tag});
            text.clear();
            inTag = false;
        } else if (c == u'<') {
            ++literalLess;
        } else {
            tag += c;
        }
    }
    if (!text.isEmpty())
        tokens.push_back({false, text});
    return tokens;
}

// Trims characters whose code is 32 or less at both ends.
QString TrimControls(const QString &s)
{
    qsizetype begin = 0, end = s.size();
    while (begin < end && s[begin].unicode() <= 32)
        ++begin;
    while (end > begin && s[end - 1].unicode() <= 32)
        --end;
    return s.mid(begin, end - begin);
}

struct TTag
{
    QString Name;  // upper case
    QString Param;  // trimmed, letter case kept
    bool LineBreak = false;
};

TTag ParseTag(const QString &content)
{
    TTag tag;
    const QString upper = content.toUpper();
    tag.LineBreak = upper == QLatin1String("BR") || upper.left(3) == QLatin1String("BR ");
    const qsizetype space = content.indexOf(u' ');
    if (space < 0) {
        tag.Name = TrimControls(content).toUpper();
    } else {
        tag.Name = TrimControls(content.left(space)).toUpper();
        tag.Param = TrimControls(content.mid(space + 1));
    }
    return tag;
}

struct TNamedColor
{
    const char *Name;
    TMarkupColor Color;
};

const std::array<TNamedColor, 22> NamedColors = {{
    {"RED", 0xFFFF0000},     {"GREEN", 0xFF008000},   {"YELLOW", 0xFFFFFF00},  {"BLUE", 0xFF0000FF},
    {"BLACK", 0xFF000000},   {"WHITE", 0xFFFFFFFF},   {"AQUA", 0xFF00FFFF},    {"DKGRAY", 0xFF808080},
    {"OLIVE", 0xFF808000},   {"PURPLE", 0xFF800080},  {"FUCHSIA", 0xFFFF00FF}, {"GRAY", 0xFF808080},
    {"LIME", 0xFF00FF00},    {"MAROON", 0xFF800000},  {"NAVY", 0xFF000080},    {"LTGRAY", 0xFFC0C0C0},
    {"MEDGRAY", 0xFFA0A0A4}, {"SILVER", 0xFFC0C0C0},  {"TEAL", 0xFF008080},    {"MONEYGREEN", 0xFFC0DCC0},
    {"CREAM", 0xFFFFFBF0},   {"SKYBLUE", 0xFFA6CAF0},
}};

std::optional<TMarkupColor> ColorNamed(const QString &upperName, const TMarkupDefaults &defaults)
{
    if (upperName == QLatin1String("BTNFACE"))
        return defaults.BtnFace;
    if (upperName == QLatin1String("APPWORKSPACE"))
        return defaults.AppWorkspace;
    for (const TNamedColor &named : NamedColors)
        if (upperName == QLatin1String(named.Name))
            return named.Color;
    return std::nullopt;
}

std::optional<TLinkKind> OpeningLink(const QString &name)
{
    if (name == QLatin1String("URL"))
        return TLinkKind::Url;
    if (name == QLatin1String("MAIL"))
        return TLinkKind::Mail;
    if (name == QLatin1String("LINK"))
        return TLinkKind::Custom;
    return std::nullopt;
}

std::optional<TLinkKind> ClosingLink(const QString &name)
{
    return name.startsWith(u'/') ? OpeningLink(name.mid(1)) : std::nullopt;
}

TMarkupColor LinkColor(TLinkKind kind, const TMarkupDefaults &defaults)
{
    switch (kind) {
    case TLinkKind::Url: return defaults.UrlColor;
    case TLinkKind::Mail: return defaults.MailColor;
    case TLinkKind::Custom: return defaults.LinkColor;
    }
    return defaults.UrlColor;
}

void CopyStyle(TMarkupAttributes &to, const TMarkupAttributes &from)
{
    to.Bold = from.Bold;
    to.Italic = from.Italic;
    to.Underline = from.Underline;
    to.StrikeOut = from.StrikeOut;
}

// The flag a one-letter style tag sets or clears.
bool *StyleFlag(TMarkupAttributes &a, const QString &letter)
{
    if (letter == QLatin1String("B"))
        return &a.Bold;
    if (letter == QLatin1String("I"))
        return &a.Italic;
    if (letter == QLatin1String("U"))
        return &a.Underline;
    if (letter == QLatin1String("S"))
        return &a.StrikeOut;
    return nullptr;
}

// The effect of a tag other than a line break on the current attributes.
void ApplyTag(const TTag &tag, TMarkupState &state, const TMarkupDefaults &defaults)
{
    TMarkupAttributes &a = state.Current;
    const QString &name = tag.Name;
    const bool closing = name.startsWith(u'/');
    if (bool *flag = StyleFlag(a, closing ? name.mid(1) : name)) {
        *flag = !closing;
    } else if (name == QLatin1String("COLOR")) {
        if (const auto color = ColorNamed(tag.Param.toUpper(), defaults))
            a.Color = *color;
    } else if (name == QLatin1String("/COLOR")) {
        a.Color = defaults.Font.Color;
    } else if (name == QLatin1String("SIZE")) {
        bool ok = false;
        const int size = tag.Param.toInt(&ok);
        a.Size = ok ? size : 0;
    } else if (name == QLatin1String("/SIZE")) {
        a.Size = defaults.Font.Size;
    } else if (name == QLatin1String("FONT")) {
        a.FontName = tag.Param.toUpper();
    } else if (name == QLatin1String("/FONT")) {
        a.FontName = defaults.Font.FontName;
    } else if (const auto kind = OpeningLink(name)) {
        state.SavedColor = a.Color;
        CopyStyle(state.SavedStyle, a);
        a.Color = LinkColor(*kind, defaults);
        a.Underline = true;
    } else if (ClosingLink(name)) {
        a.Color = state.SavedColor;
        CopyStyle(a, state.SavedStyle);
    }
}

TParagraphAlign AlignNamed(const QString &param)
{
    const QString upper = param.toUpper();
    if (upper == QLatin1String("LEFT"))
        return TParagraphAlign::Left;
    if (upper == QLatin1String("RIGHT"))
        return TParagraphAlign::Right;
    if (upper == QLatin1String("CENTER"))
        return TParagraphAlign::Center;
    return TParagraphAlign::Control;
}

}  // namespace

TMarkupState TMarkupState::FromFont(const TMarkupAttributes &font)
{
    TMarkupState state;
    state.Current = font;
    state.SavedColor = font.Color;
    state.SavedStyle = font;
    return state;
}

TMarkupText RenderMarkup(const QString &source, TMarkupState &state, const TMarkupDefaults &defaults)
{
    TMarkupText out;
    out.Aligns.push_back(TParagraphAlign::Control);
    qsizetype marked = 0;  // end of the characters already given attributes
    const auto giveAttributes = [&] {
        if (out.Text.size() > marked)
            out.Runs.push_back({marked, out.Text.size() - marked, state.Current});
        marked = out.Text.size();
    };
    for (const TToken &token : Tokenize(source)) {
        if (!token.IsTag) {
            out.Text += token.Text;
            continue;
        }
        const TTag tag = ParseTag(token.Text);
        if (tag.LineBreak)
            out.Text += kMarkupBreak;
        giveAttributes();
        if (tag.LineBreak) {
            out.Aligns.back() = AlignNamed(tag.Param);
            out.Aligns.push_back(TParagraphAlign::Control);
        } else {
            ApplyTag(tag, state, defaults);
        }
    }
    giveAttributes();
    return out;
}

std::optional<TMarkupLink> LinkAt(const QString &source, qsizetype index)
{
    struct TOpenLink
    {
        TMarkupLink Link;
        qsizetype Start;
    };
    std::optional<TOpenLink> open;
    qsizetype count = 0;
    for (const TToken &token : Tokenize(source)) {
        if (!token.IsTag) {
            count += token.Text.size();
            continue;
        }
        const TTag tag = ParseTag(token.Text);
        if (tag.LineBreak) {
            ++count;
        } else if (const auto kind = OpeningLink(tag.Name)) {
            open = TOpenLink {{*kind, tag.Param}, count};
        } else if (const auto closing = ClosingLink(tag.Name);
                   closing && open && open->Link.Kind == *closing) {
            if (open->Start <= index && index < count) {
                if (open->Link.Target.isEmpty())
                    return std::nullopt;
                return open->Link;
            }
            open.reset();
        }
    }
    return std::nullopt;
}
