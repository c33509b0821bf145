// UDF byte-level pieces: the tag CRC and checksum, OSTA compressed unicode
// strings, UTF-8 conversion and fitting the volume label.
#include "tools/burn/udfprimitives.h"

#include <gtest/gtest.h>

#include "tools/burn/volumelabel.h"

namespace {

using udf::TUcs2;

TEST(UdfPrimitivesTest, CrcIsCcittWithZeroStart)
{
    const char text[] = "123456789";
    EXPECT_EQ(udf::Crc16(reinterpret_cast<const uint8_t *>(text), 9), 0x31C3);
}

TEST(UdfPrimitivesTest, TagCarriesChecksumCrcAndLocation)
{
    udf::TDescriptor d(512);
    d.U32(16, 0xDEADBEEF);
    d.FinishTag(udf::TagAnchor, 256);
    const auto &b = d.Data();
    EXPECT_EQ(b[0] | b[1] << 8, 2);
    EXPECT_EQ(b[2] | b[3] << 8, 3);
    uint8_t sum = 0;
    for (int i = 0; i < 16; ++i)
        if (i != 4)
            sum = static_cast<uint8_t>(sum + b[i]);
    EXPECT_EQ(b[4], sum);
    EXPECT_EQ(b[8] | b[9] << 8, udf::Crc16(b.data() + 16, 496));
    EXPECT_EQ(b[10] | b[11] << 8, 496);
    EXPECT_EQ(b[12] | b[13] << 8 | b[14] << 16 | b[15] << 24, 256);
}

TEST(UdfPrimitivesTest, DStringUsesEightBitsWhenItCan)
{
    std::vector<uint8_t> field = udf::DString(u"ABé", 32);
    ASSERT_EQ(field.size(), 32u);
    EXPECT_EQ(field[0], 8);
    EXPECT_EQ(field[1], 'A');
    EXPECT_EQ(field[3], 0xE9);
    EXPECT_EQ(field[4], 0);
    EXPECT_EQ(field[31], 4);
}

TEST(UdfPrimitivesTest, DStringUsesSixteenBitsBigEndianOtherwise)
{
    std::vector<uint8_t> field = udf::DString(u"日本", 32);
    EXPECT_EQ(field[0], 16);
    EXPECT_EQ(field[1], 0x65);
    EXPECT_EQ(field[2], 0xE5);
    EXPECT_EQ(field[3], 0x67);
    EXPECT_EQ(field[4], 0x2C);
    EXPECT_EQ(field[31], 5);
}

TEST(UdfPrimitivesTest, DStringCutsWhatDoesNotFit)
{
    std::vector<uint8_t> narrow = udf::DString(TUcs2(40, u'x'), 32);
    EXPECT_EQ(narrow[31], 31);  // 30 characters
    EXPECT_EQ(narrow[30], 'x');
    std::vector<uint8_t> wide = udf::DString(TUcs2(40, u'€'), 32);
    EXPECT_EQ(wide[31], 31);  // 15 characters
    EXPECT_EQ(wide[29], 0x20);
    EXPECT_EQ(wide[30], 0xAC);
}

TEST(UdfPrimitivesTest, Utf8OutsideUcs2BecomesUnderscore)
{
    TUcs2 text;
    EXPECT_EQ(udf::Utf8ToUcs2("é\xF0\x9F\x98\x80z\xFF", text), 2u);
    EXPECT_EQ(text, u"é_z_");
    EXPECT_EQ(udf::Utf8ToUcs2("déjà 日本", text), 0u);
    EXPECT_EQ(udf::Ucs2ToUtf8(text), "déjà 日本");
}

struct TLabelCase
{
    std::string Given;
    std::u16string Stored;
    const char *Note;  // expected in the notes, or nullptr for none
};

class VolumeLabelTest : public testing::TestWithParam<TLabelCase>
{ };

TEST_P(VolumeLabelTest, FitsUdf)
{
    TVolumeLabel label = MakeVolumeLabel(GetParam().Given);
    EXPECT_EQ(label.Text, GetParam().Stored);
    std::string notes;
    for (const auto &n : label.Notes)
        notes += n;
    if (GetParam().Note)
        EXPECT_NE(notes.find(GetParam().Note), std::string::npos) << notes;
    else
        EXPECT_TRUE(notes.empty()) << notes;
}

INSTANTIATE_TEST_SUITE_P(
    Labels, VolumeLabelTest,
    testing::Values(TLabelCase {"Projet - Disque 1", u"Projet - Disque 1", nullptr},
                    TLabelCase {std::string(126, 'a'), std::u16string(126, u'a'), nullptr},
                    TLabelCase {std::string(130, 'a'), std::u16string(126, u'a'), "too long"},
                    TLabelCase {"日本" + std::string(70, 'b'), u"日本" + std::u16string(61, u'b'),
                                "too long"},
                    TLabelCase {"Vacances \xF0\x9F\x8C\xB4", u"Vacances _", "cannot store"},
                    TLabelCase {"a\tb", u"a_b", "cannot store"}));

}  // namespace
