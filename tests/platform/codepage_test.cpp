// Code-page conversions: Windows-1252 tables, UTF-8 replacement rules, size
// queries and error codes.
#include "tqplatform/codepage.h"

#include <gtest/gtest.h>

#include <string>

#include "platform_test_support.h"

namespace tqplat {
namespace {

using Units = std::u16string;

Units ToWide(std::uint32_t page, const std::string& in) {
    const int n = MultiByteToWideChar(page, 0, in.data(), int(in.size()), nullptr, 0);
    Units out(static_cast<std::size_t>(n), u'#');
    auto* target = reinterpret_cast<unsigned short*>(&out[0]);
    EXPECT_EQ(n ? MultiByteToWideChar(page, 0, in.data(), int(in.size()), target, n) : 0, n);
    return out;
}

std::string ToNarrow(std::uint32_t page, const Units& in, bool* usedDefault = nullptr,
                     const char* defaultChar = nullptr) {
    const auto* source = reinterpret_cast<const unsigned short*>(in.data());
    const int size = int(in.size());
    const int n = WideCharToMultiByte(page, 0, source, size, nullptr, 0, defaultChar, usedDefault);
    std::string out(static_cast<std::size_t>(n), '#');
    EXPECT_EQ(
        n ? WideCharToMultiByte(page, 0, source, size, &out[0], n, defaultChar, usedDefault) : 0,
        n);
    return out;
}

// Windows-1252 0x80-0x9F as published; the five holes keep their own value.
constexpr char16_t kCp1252High[33] =
    u"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D\u017D"
    u"\u008F\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u009D"
    u"\u017E\u0178";

TEST(Cp1252, EveryByteBothWaysAndUnmappableCharactersBecomeTheDefault) {
    std::string all;
    Units expected;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
        expected += b >= 0x80 && b <= 0x9F ? kCp1252High[b - 0x80] : char16_t(b);
    }
    for (std::uint32_t page : {CP_ACP, CP_1252}) {
        EXPECT_EQ(ToWide(page, all), expected);
        bool usedDefault = true;
        EXPECT_EQ(ToNarrow(page, expected, &usedDefault), all);
        EXPECT_FALSE(usedDefault);
    }
    const struct {
        Units in;
        const char* defaultChar;
        std::string out;
    } cases[] = {
        {u"a\u0100b", nullptr, "a?b"},
        {u"x\U0001F600y", nullptr, "x?y"},    // one character, one default
        {u"\xD800z", nullptr, "?z"},          // lone surrogate
        {u"\u0100", "#", "#"},                // the caller's default
        {u"\u20AC\u0080", nullptr, "\x80?"},  // U+0080 is not the byte 0x80
    };
    for (const auto& c : cases) {
        bool usedDefault = false;
        EXPECT_EQ(ToNarrow(CP_ACP, c.in, &usedDefault, c.defaultChar), c.out);
        EXPECT_TRUE(usedDefault);
    }
}

// Lenient decoding replaces each maximal invalid subsequence, strict decoding
// refuses it, and valid text encodes back to the same bytes.
TEST(Utf8, DecodesReplacesOrRefuses) {
    const struct {
        std::string in;
        Units out;
        bool valid;
    } cases[] = {
        {"\xC2\x80\xC3\xA9", u"\u0080\u00E9", true},
        {"\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80", u"\u0800\uD7FF\uE000", true},
        {"\xEF\xBF\xBD", u"\uFFFD", true},  // a genuine U+FFFD
        {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", u"\U00010000\U0010FFFF", true},
        {"\xE0\x9F\xBF", u"\uFFFD\uFFFD\uFFFD", false},            // overlong
        {"\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},  // overlong
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", false},            // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},  // above U+10FFFF
        {"a\xC3", u"a\uFFFD", false},                              // cut off at the end
        {"\xE2\x82x", u"\uFFFDx", false},                          // cut off before ASCII
        {"\xC1\xF5\xFF", u"\uFFFD\uFFFD\uFFFD", false},            // invalid leads
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        EXPECT_EQ(ToWide(CP_UTF8, c.in), c.out);
        const int strict = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.in.data(),
                                               int(c.in.size()), nullptr, 0);
        EXPECT_EQ(strict, c.valid ? int(c.out.size()) : 0);
        EXPECT_EQ(TakeError(strict == 0), c.valid ? ~0u : ERROR_NO_UNICODE_TRANSLATION);
        EXPECT_EQ(c.valid ? ToNarrow(CP_UTF8, c.out) : c.in, c.in);
    }
}

TEST(Utf8, LoneSurrogatesEncodeAsReplacement) {
    const std::pair<Units, std::string> cases[] = {
        {u"\xD800", "\xEF\xBF\xBD"},
        {u"\xD83Dz", "\xEF\xBF\xBDz"},
        {u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // a reversed pair
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(ToNarrow(CP_UTF8, in), out);
        const auto* source = reinterpret_cast<const unsigned short*>(in.data());
        EXPECT_EQ(TakeError(!WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, source,
                                                 int(in.size()), nullptr, 0, nullptr, nullptr)),
                  ERROR_NO_UNICODE_TRANSLATION);
    }
}

TEST(Conventions, TooSmallBufferFailsWithoutWritingPastIt) {
    const struct {
        std::uint32_t page;
        std::string text;
        int needed;
    } cases[] = {
        {CP_UTF8, "abcdefghijklmnop", 16},    // room ends inside the last block
        {CP_UTF8, "abc\xF0\x9F\x98\x80", 5},  // the pair does not fit
        {CP_ACP, "abcdef\x80", 7},
    };
    for (const auto& c : cases) {
        Units buffer(static_cast<std::size_t>(c.needed), u'#');
        auto* target = reinterpret_cast<unsigned short*>(&buffer[0]);
        EXPECT_EQ(TakeError(!MultiByteToWideChar(c.page, 0, c.text.data(), int(c.text.size()),
                                                 target, c.needed - 1)),
                  ERROR_INSUFFICIENT_BUFFER);
        EXPECT_EQ(buffer.back(), u'#');
        EXPECT_EQ(ToWide(c.page, c.text).size(), std::size_t(c.needed));
    }
    const unsigned short wide[] = {'a', 'b', 'c', 'd', 'e', 0x20AC};
    for (const auto& [page, needed] : {std::pair{CP_UTF8, 8}, std::pair{CP_ACP, 6}}) {
        std::string narrow(static_cast<std::size_t>(needed), '#');
        EXPECT_EQ(TakeError(!WideCharToMultiByte(page, 0, wide, 6, &narrow[0], needed - 1, nullptr,
                                                 nullptr)),
                  ERROR_INSUFFICIENT_BUFFER);
        EXPECT_EQ(narrow.back(), '#');
    }
}

TEST(Conventions, BadArgumentsFail) {
    const struct {
        std::uint32_t page, flags;
        const char* text;
        int length, room;
        std::uint32_t error;
    } toWide[] = {
        {CP_UTF8, 0, nullptr, 3, 4, ERROR_INVALID_PARAMETER},
        {CP_UTF8, 0, "a", 0, 4, ERROR_INVALID_PARAMETER},
        {CP_UTF8, 0, "a", -2, 4, ERROR_INVALID_PARAMETER},
        {CP_UTF8, 0, "a", 1, -1, ERROR_INVALID_PARAMETER},
        {1250, 0, "a", 1, 4, ERROR_INVALID_PARAMETER},
        {CP_UTF8, 0x1, "a", 1, 4, 1004},  // invalid flags
    };
    unsigned short wbuf[4];
    for (const auto& c : toWide) {
        EXPECT_EQ(TakeError(!MultiByteToWideChar(c.page, c.flags, c.text, c.length, wbuf, c.room)),
                  c.error)
            << (&c - toWide);
    }
    const unsigned short wide[] = {'a', 0};
    char nbuf[4];
    bool used = false;
    EXPECT_EQ(TakeError(!WideCharToMultiByte(CP_UTF8, 0, nullptr, 1, nbuf, 4, nullptr, nullptr)),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(TakeError(!WideCharToMultiByte(CP_UTF8, 0, wide, 1, nbuf, 4, nullptr, &used)),
              ERROR_INVALID_PARAMETER)
        << "UTF-8 takes no default character";
    EXPECT_EQ(TakeError(!WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, wide, 1, nbuf, 4,
                                             nullptr, nullptr)),
              1004u);
}

}  // namespace
}  // namespace tqplat
