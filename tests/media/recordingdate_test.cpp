// The recording date camcorders write in their H.264 stream: the MDPM
// block of an SEI message, found in the stream up to the first key frame.
#include <gtest/gtest.h>

#include "media/recordingdate.h"
#include "tests/support/mdpmsei.h"

namespace {

using mdpm::TBytes;
using mdpm::TEntry;

const TRecordingDate kBastille {2012, 7, 14, 15, 30, 0};

struct TSeiCase
{
    const char *Name;
    TBytes Nal;
    std::optional<TRecordingDate> Date;
};

// One SEI NAL unit holding one MDPM message with these entries.
TBytes MdpmSei(const std::vector<TEntry> &entries, int count = -1)
{
    return mdpm::SeiNal(
        {{mdpm::kUserDataUnregistered, mdpm::UserData(mdpm::kUuid, mdpm::Block(entries, count))}});
}

TEntry YearMonth(uint8_t high, uint8_t low, uint8_t month)
{
    return {0x18, {0x09, high, low, month}};
}

TEntry DayTime(uint8_t day, uint8_t hour, uint8_t minute, uint8_t second)
{
    return {0x19, {day, hour, minute, second}};
}

std::vector<TSeiCase> SeiCases()
{
    const TEntry ym = YearMonth(0x20, 0x12, 0x07), dt = DayTime(0x14, 0x15, 0x30, 0x00);
    const TEntry lens {0x70, {0x00, 0x00, 0x01, 0xFF}};
    TBytes truncatedSei = MdpmSei({ym, dt});
    truncatedSei.resize(truncatedSei.size() - 6);  // the message's end and the stop bit
    std::vector<TEntry> many(60, lens);  // a message longer than 255 bytes
    many.push_back(dt);
    many.push_back(ym);
    return {
        {"both_tags", MdpmSei({ym, dt}), kBastille},
        {"tags_in_any_order_among_others", MdpmSei({lens, dt, lens, ym, lens}), kBastille},
        {"first_of_a_repeated_tag", MdpmSei({ym, dt, YearMonth(0x19, 0x99, 0x12)}), kBastille},
        {"message_size_above_255", MdpmSei(many), kBastille},
        {"missing_day_and_time", MdpmSei({ym, lens}), std::nullopt},
        {"missing_year_and_month", MdpmSei({dt}), std::nullopt},
        {"no_entries", MdpmSei({}), std::nullopt},
        {"bad_bcd_month", MdpmSei({YearMonth(0x20, 0x12, 0x1A), dt}), std::nullopt},
        {"bad_bcd_year", MdpmSei({YearMonth(0x20, 0xA2, 0x07), dt}), std::nullopt},
        {"bad_bcd_century", MdpmSei({YearMonth(0xF0, 0x12, 0x07), dt}), std::nullopt},
        {"bad_bcd_second", MdpmSei({ym, DayTime(0x14, 0x15, 0x30, 0x0B)}), std::nullopt},
        {"month_13", MdpmSei({YearMonth(0x20, 0x12, 0x13), dt}), std::nullopt},
        {"month_0", MdpmSei({YearMonth(0x20, 0x12, 0x00), dt}), std::nullopt},
        {"hour_24", MdpmSei({ym, DayTime(0x14, 0x24, 0x00, 0x00)}), std::nullopt},
        {"minute_60", MdpmSei({ym, DayTime(0x14, 0x15, 0x60, 0x00)}), std::nullopt},
        {"april_31", MdpmSei({YearMonth(0x20, 0x12, 0x04), DayTime(0x31, 0x00, 0x00, 0x00)}), std::nullopt},
        {"february_29_of_a_leap_year",
         MdpmSei({YearMonth(0x20, 0x12, 0x02), DayTime(0x29, 0x23, 0x59, 0x59)}),
         TRecordingDate {2012, 2, 29, 23, 59, 59}},
        {"february_29_of_another_year",
         MdpmSei({YearMonth(0x20, 0x13, 0x02), DayTime(0x29, 0x00, 0x00, 0x00)}), std::nullopt},
        {"block_shorter_than_its_count", MdpmSei({ym, dt}, 3), std::nullopt},
        {"message_cut_short", truncatedSei, std::nullopt},
        // 01/01/2000 at 00:00:01: "00 00 01" is written "00 00 03 01".
        {"emulation_prevention_inside_the_date",
         MdpmSei({{0x18, {0x00, 0x20, 0x00, 0x01}}, DayTime(0x01, 0x00, 0x00, 0x01)}),
         TRecordingDate {2000, 1, 1, 0, 0, 1}},
        {"another_uuid", mdpm::SeiNal({{5, mdpm::UserData(mdpm::kOtherUuid, mdpm::Block({ym, dt}))}}),
         std::nullopt},
        {"after_other_messages",
         mdpm::SeiNal({{1, {0x12, 0x34}},
                       {5, mdpm::UserData(mdpm::kOtherUuid, {'x', '2', '6', '4'})},
                       {5, mdpm::UserData(mdpm::kUuid, mdpm::Block({ym, dt}))}}),
         kBastille},
        {"not_mdpm_behind_the_uuid",
         mdpm::SeiNal({{5, mdpm::UserData(mdpm::kUuid, {'M', 'D', 'P', 'X', 0})}}), std::nullopt},
        {"not_an_sei", TBytes {0x65, 0x88, 0x80}, std::nullopt},
    };
}

class SeiDate : public testing::TestWithParam<TSeiCase>
{ };

TEST_P(SeiDate, ReadAsACamcorderWroteIt)
{
    EXPECT_EQ(RecordingDateOfSei(GetParam().Nal), GetParam().Date);
}

INSTANTIATE_TEST_SUITE_P(Table, SeiDate, testing::ValuesIn(SeiCases()),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST(SeiDate, TheEmulationCaseIsEscapedIndeed)
{
    const TBytes nal = MdpmSei({{0x18, {0x00, 0x20, 0x00, 0x01}}, DayTime(0x01, 0x00, 0x00, 0x01)});
    const TBytes escaped = {0x00, 0x00, 0x03, 0x01};
    EXPECT_NE(std::search(nal.begin(), nal.end(), escaped.begin(), escaped.end()), nal.end());
}

TEST(MdpmBlock, ParsedAlone)
{
    EXPECT_EQ(ParseMdpmBlock(mdpm::Block(mdpm::DateEntries(2012, 7, 14, 15, 30, 0))), kBastille);
    EXPECT_EQ(ParseMdpmBlock(TBytes {'M', 'D', 'P'}), std::nullopt);
}

// --- the stream up to the first key frame ---------------------------------

const TBytes kAud = {0x09, 0xF0};
const TBytes kSps = {0x67, 0x64, 0x00, 0x28, 0xAC};
const TBytes kIdrSlice = {0x65, 0x88, 0x80};  // first_mb 0, slice_type 7 (I)
const TBytes kIntraSlice = {0x41, 0x88, 0x80};  // a non-IDR I picture
const TBytes kPSlice = {0x41, 0x9A};  // slice_type 5 (P)

TBytes Stream(std::initializer_list<TBytes> nals)
{
    TBytes stream;
    for (const TBytes &nal : nals) {
        stream.insert(stream.end(), {0x00, 0x00, 0x00, 0x01});
        stream.insert(stream.end(), nal.begin(), nal.end());
    }
    return stream;
}

TEST(RecordingDateScan, FindsTheDateBeforeTheFirstKeyFrame)
{
    const TRecordingDateReading r =
        ScanRecordingDate(Stream({kAud, kSps, mdpm::SeiNal({{5, mdpm::UserData(mdpm::kOtherUuid, {1})}}),
                                  mdpm::DateSei(2012, 7, 14, 15, 30, 0), kIdrSlice}));
    EXPECT_TRUE(r.Decided);
    EXPECT_EQ(r.Date, kBastille);
}

TEST(RecordingDateScan, LooksNoFurtherThanTheFirstKeyFrame)
{
    for (const TBytes &key : {kIdrSlice, kIntraSlice}) {
        const TRecordingDateReading r =
            ScanRecordingDate(Stream({kAud, key, kAud, mdpm::DateSei(2012, 7, 14, 15, 30, 0), kIdrSlice}));
        EXPECT_TRUE(r.Decided);
        EXPECT_EQ(r.Date, std::nullopt);
    }
}

TEST(RecordingDateScan, PassesPicturesBeforeTheFirstKeyFrame)
{
    const TRecordingDateReading r =
        ScanRecordingDate(Stream({kPSlice, kAud, mdpm::DateSei(2012, 7, 14, 15, 30, 0), kIdrSlice}));
    EXPECT_TRUE(r.Decided);
    EXPECT_EQ(r.Date, kBastille);
}

TEST(RecordingDateScan, UndecidedWhenTheDataEndsFirst)
{
    TBytes cut = Stream({kAud, kSps, mdpm::DateSei(2012, 7, 14, 15, 30, 0)});
    cut.resize(cut.size() - 8);
    const TRecordingDateReading r = ScanRecordingDate(cut);
    EXPECT_FALSE(r.Decided);
    EXPECT_EQ(r.Date, std::nullopt);
    EXPECT_FALSE(ScanRecordingDate({}).Decided);
}

TEST(RecordingDateScan, NotATransportStreamIsDecided)
{
    const TBytes text(4096, 'x');
    const TRecordingDateReading r = ReadRecordingDateOf(text);
    EXPECT_TRUE(r.Decided);
    EXPECT_EQ(r.Date, std::nullopt);
    EXPECT_EQ(ReadRecordingDateOfFile("/nonexistent/clip.MTS"), std::nullopt);
    EXPECT_EQ(ReadRecordingDateOfFile("/dev/null"), std::nullopt);
}

}  // namespace
