#include "tqcore/timecode.h"

#include <gtest/gtest.h>

#include <string>

#include "contract_test_support.h"

namespace {

using tqcore::SZUTC;
using tqcore::SZUTCW;
using tqcore::timecode;
using tqtest::W;

std::u16string textOf(const timecode& value) {
    return tqtest::U16(SZUTCW(SZUTC(value)));
}
timecode parse(const char16_t* text) {
    return SZUTC(W(text));
}

struct ValidCase {
    const char16_t* text;
    unsigned int hours, minutes, seconds, frames;
    bool dropFrame;
};

class ValidTimecodeText : public ::testing::TestWithParam<ValidCase> {};

TEST_P(ValidTimecodeText, ParsesFieldsAndWritesTheSameText) {
    const ValidCase& c = GetParam();
    const timecode value = parse(c.text);
    ASSERT_NE(value.IsDefined(), 0);
    EXPECT_EQ(value.GetHours(), c.hours);
    EXPECT_EQ(value.GetMinutes(), c.minutes);
    EXPECT_EQ(value.GetSeconds(), c.seconds);
    EXPECT_EQ(value.GetFrames(), c.frames);
    EXPECT_EQ(value.IsDropFrame(), c.dropFrame);
    EXPECT_EQ(textOf(value), c.text);
    EXPECT_EQ(value, timecode(c.hours, c.minutes, c.seconds, c.frames, c.dropFrame));
}

INSTANTIATE_TEST_SUITE_P(Texts, ValidTimecodeText,
                         ::testing::Values(ValidCase{u"00:00:00:00", 0, 0, 0, 0, false},
                                           ValidCase{u"23:59:59:59", 23, 59, 59, 59, false},
                                           ValidCase{u"01:02:03:04", 1, 2, 3, 4, false},
                                           ValidCase{u"10:20:30;15", 10, 20, 30, 15, true},
                                           ValidCase{u"00:00:00;00", 0, 0, 0, 0, true},
                                           ValidCase{u"09:08:07:06", 9, 8, 7, 6, false}));

class InvalidTimecodeText : public ::testing::TestWithParam<const char16_t*> {};

TEST_P(InvalidTimecodeText, GivesAnUndefinedTimecodeAndNoText) {
    const SZUTC parsed(W(GetParam()));
    EXPECT_EQ(timecode(parsed).IsDefined(), 0);
    EXPECT_EQ(static_cast<const char*>(parsed), nullptr);
    EXPECT_EQ(static_cast<const unsigned short*>(SZUTCW(parsed)), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, InvalidTimecodeText,
    ::testing::Values(u"", u"0", u"01:02:03", u"01:02:03:", u"01:02:03:4", u"1:02:03:04",
                      u"01:02:03:045", u"01:02:03:04 ", u" 01:02:03:04", u"01:02:03:04:05",
                      u"24:00:00:00", u"99:00:00:00", u"00:60:00:00", u"00:00:60:00",
                      u"00:00:00:60", u"01;02:03:04", u"01:02;03:04", u"01-02-03-04",
                      u"01:02:03.04", u"0a:00:00:00", u"00:00:00:0/", u"+1:02:03:04",
                      u"01:02:03;;04",
                      u"\uff10\uff11:02:03:04",  // full-width digits are not digits here
                      u"01:02:03:0\u0664"));

TEST(TimecodeTest, NullTextIsNotATimecode) {
    const SZUTC parsed(static_cast<const unsigned short*>(nullptr));
    EXPECT_EQ(timecode(parsed).IsDefined(), 0);
}

TEST(TimecodeTest, DefaultIsUndefinedAndWritesNoText) {
    const timecode value;
    EXPECT_EQ(value.IsDefined(), 0);
    EXPECT_EQ(static_cast<const unsigned short*>(SZUTCW(SZUTC(value))), nullptr);
    EXPECT_EQ(value, timecode());
}

struct FieldCase {
    unsigned int hours, minutes, seconds, frames;
};

class OutOfRangeFields : public ::testing::TestWithParam<FieldCase> {};

TEST_P(OutOfRangeFields, MakeAnUndefinedTimecode) {
    const FieldCase& c = GetParam();
    EXPECT_EQ(timecode(c.hours, c.minutes, c.seconds, c.frames).IsDefined(), 0);
}

INSTANTIATE_TEST_SUITE_P(Fields, OutOfRangeFields,
                         ::testing::Values(FieldCase{24, 0, 0, 0}, FieldCase{0, 60, 0, 0},
                                           FieldCase{0, 0, 60, 0}, FieldCase{0, 0, 0, 60},
                                           FieldCase{256, 0, 0, 0},
                                           FieldCase{0, 0, 0, 0xFFFFFFFFu}));

TEST(TimecodeTest, CopiesCompareEqualAndDropFrameMatters) {
    const timecode original(12, 34, 56, 7, true);
    timecode copy;
    copy = original;
    EXPECT_EQ(copy, original);
    EXPECT_NE(copy, timecode(12, 34, 56, 7, false));
    EXPECT_NE(copy, timecode());
    EXPECT_NE(timecode(12, 34, 56, 8, true), original);
}

// Every value of every field, with both frame counts, survives the full
// write-then-read road.
TEST(TimecodeTest, RoundTripsEveryFieldValue) {
    for (bool dropFrame : {false, true}) {
        for (unsigned int v = 0; v <= timecode::kMaxMinutes; ++v) {
            const timecode values[] = {timecode(v % (timecode::kMaxHours + 1), 1, 2, 3, dropFrame),
                                       timecode(4, v, 5, 6, dropFrame),
                                       timecode(7, 8, v, 9, dropFrame),
                                       timecode(10, 11, 12, v, dropFrame)};
            for (const timecode& value : values) {
                ASSERT_NE(value.IsDefined(), 0);
                const std::u16string text = textOf(value);
                ASSERT_EQ(text.size(), 11u);
                EXPECT_EQ(parse(text.c_str()), value) << std::string(text.begin(), text.end());
            }
        }
    }
}

}  // namespace
