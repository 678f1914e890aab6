#include "tqcore/times.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "contract_test_support.h"

namespace {

using tqcore::filetime;
using tqtest::U16;
using tqtest::W;

TEST(FileTime, TextFitsTheBufferAndReadsBack) {
    const std::uint64_t values[] = {0, 1, 0x01D9A1B2C3D4E5F6ull /* 2023 */, UINT64_MAX};
    for (std::uint64_t v : values) {
        unsigned short buffer[24];  // 20 for the writer, 4 guard units
        for (auto& u : buffer) u = 0xBEEF;
        const unsigned int length = filetime(v).GetString(buffer);
        ASSERT_LE(length, 19u);
        EXPECT_EQ(buffer[length], 0);
        for (int i = filetime::kTextSize; i < 24; ++i) EXPECT_EQ(buffer[i], 0xBEEF);
        filetime back(42);
        back = buffer;
        EXPECT_EQ(back.GetValue(), v) << U16(buffer).size();
    }
    unsigned short buffer[filetime::kTextSize];
    filetime(0xABC).GetString(buffer);
    EXPECT_EQ(U16(buffer), u"0000000000000ABC");
    EXPECT_EQ(filetime(5).GetString(nullptr), 0u);
}

TEST(FileTime, ParsingTakesShortLowerCaseTextAndRefusesTheRest) {
    filetime t;
    EXPECT_TRUE(filetime::Parse(W(u"abcdef"), t));
    EXPECT_EQ(t.GetValue(), 0xABCDEFu);
    const char16_t* bad[] = {
        u"", u"G", u" 1", u"1 ", u"0x10", u"-1", u"12345678901234567" /* 17 digits */};
    for (const char16_t* text : bad) {
        filetime kept(7);
        EXPECT_FALSE(filetime::Parse(W(text), kept));
        EXPECT_EQ(kept.GetValue(), 7u);
        kept = text;
        EXPECT_EQ(kept.GetValue(), 0u) << U16(W(text)).size();
    }
    t = static_cast<const unsigned short*>(nullptr);
    EXPECT_EQ(t.GetValue(), 0u);
}

}  // namespace
