#include "src/platform/commandline.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase
{
    const char *line;
    QStringList args;
};

class CommandLineSplit : public testing::TestWithParam<SplitCase>
{ };

TEST_P(CommandLineSplit, GivesTheWindowsArguments)
{
    EXPECT_EQ(CommandLineToArgv(QString::fromUtf8(GetParam().line)), GetParam().args);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLineSplit,
    testing::Values(
        SplitCase {R"("/opt/my tools/eac3to" -demux  "/v/a b.m2ts"+"/v/c+d.m2ts")",
                   {"/opt/my tools/eac3to", "-demux", "/v/a b.m2ts+/v/c+d.m2ts"}},
        SplitCase {R"("/bin/t" "/m/Vacances.meta" "/a/Vacances/Disque 01/")",
                   {"/bin/t", "/m/Vacances.meta", "/a/Vacances/Disque 01/"}},
        SplitCase {R"("/bin/t" /SRC "/a/BDMV"|"/a/CERTIFICATE" /VOLUMELABEL "V - Disque 01"   /EJECT)",
                   {"/bin/t", "/SRC", "/a/BDMV|/a/CERTIFICATE", "/VOLUMELABEL", "V - Disque 01", "/EJECT"}},
        SplitCase {"\"/bin/t\" \"été à Noël\"\tx", {"/bin/t", "été à Noël", "x"}},
        // Backslashes are literal unless a quote follows them.
        SplitCase {R"("p" a\b a\\b)", {"p", R"(a\b)", R"(a\\b)"}}, SplitCase {R"("p" a\"b)", {"p", R"(a"b)"}},
        SplitCase {R"("p" a\\"b c")", {"p", R"(a\b c)"}}, SplitCase {R"("p" a\\\"b)", {"p", R"(a\"b)"}},
        SplitCase {R"("p" "dir\\")", {"p", R"(dir\)"}}, SplitCase {R"("p" "dir\" x)", {"p", R"(dir" x)"}},
        // Doubled and tripled quotes.
        SplitCase {R"("p" "a""b")", {"p", R"(a"b)"}}, SplitCase {R"("p" """")", {"p", R"(")"}},
        SplitCase {R"("p" "" x)", {"p", "", "x"}},
        // The program name knows no escapes and ends at its closing quote.
        SplitCase {R"("C:\dir\" x)", {R"(C:\dir\)", "x"}}, SplitCase {R"("p"x y)", {"p", "x", "y"}},
        SplitCase {R"(plain.exe  a   b  )", {"plain.exe", "a", "b"}}, SplitCase {R"("p")", {"p"}},
        SplitCase {R"("p"   )", {"p"}}));

struct QuoteCase
{
    const char *text;
    bool passes;
};

class QuotedPassing : public testing::TestWithParam<QuoteCase>
{ };

TEST_P(QuotedPassing, TellsWhetherTheTextArrivesWhole)
{
    EXPECT_EQ(CanPassQuoted(QString::fromUtf8(GetParam().text)), GetParam().passes);
}

INSTANTIATE_TEST_SUITE_P(Table, QuotedPassing,
                         testing::Values(QuoteCase {"/data/my clips/a+b.m2ts", true},
                                         QuoteCase {"/data/Noël/été.m2ts", true},
                                         QuoteCase {R"(/data/a\b.m2ts)", true}, QuoteCase {"", true},
                                         QuoteCase {R"(/data/say "hi".m2ts)", false},
                                         QuoteCase {R"(/data/ends with\)", false}));

}  // namespace
