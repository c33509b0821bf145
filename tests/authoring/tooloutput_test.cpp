#include "src/authoring/tooloutput.h"

#include <gtest/gtest.h>

namespace {

struct BreakCase
{
    QByteArray in, out;
};

class LineBreaks : public testing::TestWithParam<BreakCase>
{ };

TEST_P(LineBreaks, EveryRunBecomesOneCrLf)
{
    EXPECT_EQ(NormaliseLineBreaks(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Table, LineBreaks,
                         testing::Values(BreakCase {"", ""}, BreakCase {"plain", "plain"},
                                         BreakCase {"10%\b\b\b20%\b\b\b", "10%\r\n20%\r\n"},
                                         BreakCase {"\r10%\r20%\r\n", "\r\n10%\r\n20%\r\n"},
                                         BreakCase {"a\n\n\r\b\nb", "a\r\nb"},
                                         BreakCase {"a\r\nb\tc", "a\r\nb\tc"},
                                         BreakCase {QByteArray("x\0y\n", 4), QByteArray("x\0y\r\n", 5)}));

}  // namespace
