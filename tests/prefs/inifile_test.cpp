#include "src/prefs/inifile.h"
#include "tests/prefs/prefstestutil.h"

#include <gtest/gtest.h>

namespace {

struct DecodeCase
{
    const char *name;
    QByteArray bytes;
    QStringList lines;
};

QByteArray Utf16(const QString &text, bool bigEndian)
{
    QByteArray bytes;
    for (const char16_t unit : text.toStdU16String()) {
        const char low = char(unit & 0xFF), high = char(unit >> 8);
        bytes.append(bigEndian ? high : low);
        bytes.append(bigEndian ? low : high);
    }
    return bytes;
}

class IniDecode : public testing::TestWithParam<DecodeCase>
{ };

TEST_P(IniDecode, GivesTheLines)
{
    EXPECT_EQ(DecodeIniText(GetParam().bytes), GetParam().lines);
}

const QString Accented = QString::fromUtf8("é=ü");

INSTANTIATE_TEST_SUITE_P(
    Texts, IniDecode,
    testing::Values(
        DecodeCase {"Utf16LittleEndian", "\xFF\xFE" + Utf16(Accented + "\r\nb", false), {Accented, "b"}},
        DecodeCase {"Utf16BigEndian", "\xFE\xFF" + Utf16(Accented + "\r\nb", true), {Accented, "b"}},
        DecodeCase {"Utf8WithMark", "\xEF\xBB\xBF" + Accented.toUtf8() + "\r\nb", {Accented, "b"}},
        DecodeCase {"NoMarkIsTheSystemCodePage", Accented.toUtf8() + "\nb", {Accented, "b"}},
        DecodeCase {"EveryLineEnd",
                    "a\r\nb\rc\nd" + QString(QChar(0x2028)).toUtf8() + "e",
                    {"a", "b", "c", "d", "e"}},
        DecodeCase {"LastLineEndAddsNoLine", "a\r\n", {"a"}},
        DecodeCase {"BlankLinesKept", "a\r\n\r\n\r\nb\r\n", {"a", "", "", "b"}},
        DecodeCase {"LfThenCrAreTwoEnds", "a\n\rb", {"a", "", "b"}},
        DecodeCase {"NulEndsTheText", QByteArray("a=1\r\nb=2\0c=3\r\n", 15), {"a=1", "b=2"}},
        DecodeCase {"NulInUtf16", "\xFF\xFE" + Utf16(QString("a\r\nb") + QChar(0) + "c", false), {"a", "b"}},
        DecodeCase {"OddByteAfterMarkDropped", "\xFF\xFE" + Utf16("ab", false) + "\x43", {"ab"}},
        DecodeCase {"OnlyTheMark", "\xFF\xFE", {}}, DecodeCase {"Empty", "", {}},
        DecodeCase {"InvalidUtf8Replaced",
                    "a\xFF\xFE\xFD",
                    {QString("a") + QChar(0xFFFD) + QChar(0xFFFD) + QChar(0xFFFD)}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(IniEncode, MarkThenUtf16LittleEndianLinesEachEndingWithCrLf)
{
    const QStringList lines {Header, QString::fromUtf8("Dernière Sauvegarde=01/02/2026 03:04:05"), ""};
    EXPECT_EQ(EncodeIniText(lines), IniBytes(lines));
    EXPECT_EQ(EncodeIniText({}), QByteArray("\xFF\xFE"));
    EXPECT_EQ(DecodeIniText(EncodeIniText(lines)), lines);
}

TEST(TrimControls, TrimsCodesUpTo32Only)
{
    EXPECT_EQ(TrimControls(QString("\t \x01[a]\r\x1F ")), u"[a]");
    // A no-break space is not a control character.
    EXPECT_EQ(TrimControls(QString(QChar(0xA0)) + "x"), QString(QChar(0xA0)) + "x");
    EXPECT_EQ(TrimControls(QString(" \t ")), u"");
}

struct FindCase
{
    const char *name;
    QStringList lines;
    const char *key;
    int line;
};

class IniFind : public testing::TestWithParam<FindCase>
{ };

TEST_P(IniFind, FindsTheKeyLine)
{
    EXPECT_EQ(FindIniKey(GetParam().lines, Header, GetParam().key), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, IniFind,
    testing::Values(FindCase {"Plain", {Header, "a=1", "k=2"}, "k", 2},
                    FindCase {"HeaderWithBlanks", {"  " + Header + " \t", "k=2"}, "k", 1},
                    FindCase {"LeadingBlanksInName", {Header, "  k=2"}, "k", -1},
                    FindCase {"BlankBeforeEquals", {Header, "k =2"}, "k", -1},
                    FindCase {"NameIsCaseSensitive", {Header, "K=2"}, "k", -1},
                    FindCase {"SectionIsCaseSensitive", {"[\\software\\Morvek\\Tavrel]", "k=2"}, "k", -1},
                    FindCase {"AboveTheFirstHeader", {"k=1", Header}, "k", -1},
                    FindCase {"OtherSection", {"[Other]", "k=1", Header, "k=2"}, "k", 3},
                    FindCase {"AfterLeavingOurSection", {Header, "[Other]", "k=1"}, "k", -1},
                    FindCase {"FirstOfTwo", {Header, "k=1", "k=2"}, "k", 1},
                    FindCase {"LineWithoutEquals", {Header, "k"}, "k", -1},
                    FindCase {"EmptyKeyAndBlankLine", {Header, ""}, "", -1},
                    FindCase {"KeyHoldingEquals", {Header, "a=b=c"}, "a=b", -1},
                    FindCase {"BracketAloneIsNoHeader", {Header, "[", "k=1"}, "k", 2}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(IniLineValue, TextAfterTheFirstEqualsUntrimmed)
{
    EXPECT_EQ(IniLineValue("DossierFlux= /x=y "), " /x=y ");
    EXPECT_EQ(IniLineValue("k="), "");
}

struct WriteCase
{
    const char *name;
    QStringList before;
    QStringList after;
};

class IniWrite : public testing::TestWithParam<WriteCase>
{ };

TEST_P(IniWrite, UpdatesOrInsertsTheKeyLine)
{
    QStringList lines = GetParam().before;
    WriteIniKey(lines, Header, "k", "new");
    EXPECT_EQ(lines, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, IniWrite,
    testing::Values(
        WriteCase {"EmptyFile", {}, {Header, "k=new"}},
        WriteCase {"ExistingKey", {Header, "a=1", "k=old", "b=2"}, {Header, "a=1", "k=new", "b=2"}},
        WriteCase {"FirstOfDuplicates", {Header, "k=1", "k=2"}, {Header, "k=new", "k=2"}},
        WriteCase {"HeaderIsLastLine", {"x=1", Header}, {"x=1", Header, "k=new"}},
        WriteCase {"BeforeTheNextSection",
                   {Header, "a=1", "", "[Other]", "k=9"},
                   {Header, "a=1", "", "k=new", "[Other]", "k=9"}},
        WriteCase {"KeyAboveTheFirstHeader", {"k=0", Header, "a=1"}, {"k=0", Header, "a=1", "k=new"}},
        WriteCase {"OnlyOtherSections", {"[Other]", "k=1"}, {"[Other]", "k=1", Header, "k=new"}},
        WriteCase {"LeadingBlanksAreAnotherKey", {Header, "  k=1"}, {Header, "  k=1", "k=new"}},
        WriteCase {
            "HeaderWithBlanks", {" " + Header + " ", "[Other]"}, {" " + Header + " ", "k=new", "[Other]"}},
        WriteCase {"BlankLinesStay", {"", Header, "", "a=1", ""}, {"", Header, "", "a=1", "", "k=new"}}),
    [](const auto &info) { return std::string(info.param.name); });

}  // namespace
