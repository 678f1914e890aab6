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

TEST(TimecodeTest, ValidTextGivesItsFieldsAndWritesBackTheSame) {
    struct Case {
        const char16_t* text;
        unsigned int hours, minutes, seconds, frames;
        bool dropFrame;
    } cases[] = {{u"00:00:00:00", 0, 0, 0, 0, false},
                 {u"23:59:59:59", 23, 59, 59, 59, false},
                 {u"09:08:07:06", 9, 8, 7, 6, false},
                 {u"10:20:30;15", 10, 20, 30, 15, true}};
    for (const Case& c : cases) {
        const timecode value = SZUTC(W(c.text));
        ASSERT_NE(value.IsDefined(), 0);
        EXPECT_EQ(value.GetHours(), c.hours);
        EXPECT_EQ(value.GetMinutes(), c.minutes);
        EXPECT_EQ(value.GetSeconds(), c.seconds);
        EXPECT_EQ(value.GetFrames(), c.frames);
        EXPECT_EQ(value.IsDropFrame(), c.dropFrame);
        EXPECT_EQ(textOf(value), c.text);
        EXPECT_EQ(value, timecode(c.hours, c.minutes, c.seconds, c.frames, c.dropFrame));
        EXPECT_NE(value, timecode(c.hours, c.minutes, c.seconds, c.frames, !c.dropFrame));
    }
}

TEST(TimecodeTest, InvalidTextOrFieldsGiveAnUndefinedTimecodeAndNoText) {
    const char16_t* bad[] = {u"",
                             u"01:02:03",
                             u"1:02:03:04",
                             u"01:02:03:045",
                             u"01:02:03:04 ",
                             u"24:00:00:00",
                             u"00:60:00:00",
                             u"00:00:60:00",
                             u"00:00:00:60",
                             u"01;02:03:04",
                             u"0a:00:00:00",
                             u"00:00:00:0/",
                             u"\uff10\uff11:02:03:04"};  // full-width digits are not digits here
    for (const char16_t* text : bad) {
        const SZUTC parsed(W(text));
        EXPECT_EQ(timecode(parsed).IsDefined(), 0) << tqtest::U16(W(text)).size();
        EXPECT_EQ(static_cast<const char*>(parsed), nullptr);
        EXPECT_EQ(static_cast<const unsigned short*>(SZUTCW(parsed)), nullptr);
    }
    EXPECT_EQ(timecode(SZUTC(static_cast<const unsigned short*>(nullptr))).IsDefined(), 0);
    EXPECT_EQ(static_cast<const unsigned short*>(SZUTCW(SZUTC(timecode()))), nullptr);
    const unsigned int fields[][4] = {{24, 0, 0, 0}, {0, 60, 0, 0},  {0, 0, 60, 0},
                                      {0, 0, 0, 60}, {256, 0, 0, 0}, {0, 0, 0, 0xFFFFFFFFu}};
    for (const auto& f : fields) EXPECT_EQ(timecode(f[0], f[1], f[2], f[3]).IsDefined(), 0);
}

}  // namespace
