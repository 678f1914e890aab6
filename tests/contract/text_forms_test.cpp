// Values with a fixed text form: GUIDs, file times and timecodes. Each parses
// what it writes and refuses any other text without reading past its end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <tuple>

#include "contract_test_support.h"
#include "tqcore/guid.h"
#include "tqcore/timecode.h"
#include "tqcore/times.h"

namespace {

using namespace tqcore;
using tqtest::U16;

const GUID kSample = {0x071FABDD, 0x3A1C, 0x49A3, {0x9D, 0x6C, 0xB9, 0xD4, 0x1B, 0x33, 0x92, 0x77}};
const GUID kOther = {0x01234567, 0x89AB, 0xCDEF, {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE}};

// A GUID that held kOther after `text` was assigned to it.
CGUID assigned(const unsigned short* text) {
    CGUID g(kOther);
    g = text;
    return g;
}

TEST(CGuid, MalformedTextGivesNullAndParseLeavesTheTargetAlone) {
    const char16_t* bad[] = {
        u"",
        u"{071FABDD-3A1C-49A3-9D6C-B9D41B339277",    // no closing brace
        u"{071FABDD-3A1C-49A3-9D6CB-9D41B339277}",   // dash in the wrong place
        u"{071FABDD-3A1C-49A3-9D6C-B9D41B33927G}",   // not a hex digit
        u"{071FABDD-3A1C-49A3-9D6C-B9D41B339277}x",  // trailing text
        nullptr,
    };
    for (const char16_t* text : bad) {
        EXPECT_EQ(assigned(W(text)), GUID_NULL) << U16(W(text)).size();
        GUID out = kSample;
        EXPECT_FALSE(text && CGUID::Parse(W(text), out));
        EXPECT_EQ(out, kSample);
    }
}

TEST(FileTime, TextFitsTheBufferReadsBackAndRefusesOtherText) {
    for (std::uint64_t v : {0ull, 1ull, 0x01D9A1B2C3D4E5F6ull /* 2023 */, ~0ull}) {
        unsigned short buffer[24];  // 20 for the writer, 4 guard units
        std::fill(buffer, buffer + 24, 0xBEEF);
        const unsigned int length = filetime(v).GetString(buffer);
        ASSERT_LE(length, 19u);
        EXPECT_EQ(buffer[length], 0);
        EXPECT_EQ(std::count(buffer + filetime::kTextSize, buffer + 24, 0xBEEF),
                  24 - filetime::kTextSize);
        filetime back(42);
        EXPECT_EQ((back = buffer).GetValue(), v) << U16(buffer).size();
    }
    unsigned short buffer[filetime::kTextSize];
    filetime(0xABC).GetString(buffer);
    EXPECT_EQ(U16(buffer), u"0000000000000ABC");
    EXPECT_EQ(filetime(5).GetString(nullptr), 0u);
    filetime t;
    EXPECT_TRUE(filetime::Parse(W(u"abcdef"), t));  // short and lower case
    EXPECT_EQ(t.GetValue(), 0xABCDEFu);
    for (const char16_t* text :
         {u"", u"G", u"1 ", u"-1", u"12345678901234567", static_cast<const char16_t*>(nullptr)}) {
        filetime kept(7);
        EXPECT_FALSE(filetime::Parse(W(text), kept));
        EXPECT_EQ(kept.GetValue(), 7u);
        EXPECT_EQ((kept = W(text)).GetValue(), 0u) << U16(W(text)).size();
    }
}

TEST(Timecode, ValidTextGivesItsFieldsAndWritesBackTheSame) {
    const std::tuple<const char16_t*, unsigned, unsigned, unsigned, unsigned, bool> cases[] = {
        {u"00:00:00:00", 0, 0, 0, 0, false},
        {u"23:59:59:59", 23, 59, 59, 59, false},
        {u"09:08:07:06", 9, 8, 7, 6, false},
        {u"10:20:30;15", 10, 20, 30, 15, true}};
    for (const auto& [text, hours, minutes, seconds, frames, dropFrame] : cases) {
        const timecode value = SZUTC(W(text));
        ASSERT_NE(value.IsDefined(), 0);
        EXPECT_EQ(value, timecode(hours, minutes, seconds, frames, dropFrame));
        EXPECT_NE(value, timecode(hours, minutes, seconds, frames, !dropFrame));
        EXPECT_EQ(
            std::tuple(value.GetHours(), value.GetMinutes(), value.GetSeconds(), value.GetFrames()),
            std::tuple(hours, minutes, seconds, frames));
        EXPECT_EQ(U16(SZUTCW(SZUTC(value))), text);
    }
}

TEST(Timecode, InvalidTextOrFieldsGiveAnUndefinedTimecodeAndNoText) {
    for (const char16_t* text :
         {u"", u"01:02:03", u"1:02:03:04", u"01:02:03:045", u"01:02:03:04 ", u"24:00:00:00",
          u"00:60:00:00", u"00:00:60:00", u"00:00:00:60", u"01;02:03:04", u"0a:00:00:00",
          u"00:0A:00:00", u"00:00:00:0/", u"\uff10\uff11:02:03:04" /* full-width digits */,
          static_cast<const char16_t*>(nullptr)}) {
        const SZUTC parsed(W(text));
        EXPECT_EQ(timecode(parsed).IsDefined(), 0) << U16(W(text)).size();
        EXPECT_EQ(static_cast<const char*>(parsed), nullptr);
        EXPECT_EQ(static_cast<const unsigned short*>(SZUTCW(parsed)), nullptr);
    }
    EXPECT_EQ(static_cast<const unsigned short*>(SZUTCW(SZUTC(timecode()))), nullptr);
    const unsigned int fields[][4] = {{24, 0, 0, 0}, {0, 60, 0, 0},  {0, 0, 60, 0},
                                      {0, 0, 0, 60}, {256, 0, 0, 0}, {0, 0, 0, 0xFFFFFFFFu}};
    for (const auto& f : fields) EXPECT_EQ(timecode(f[0], f[1], f[2], f[3]).IsDefined(), 0);
}

}  // namespace
