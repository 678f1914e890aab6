// Code-page conversions: Windows-1252 tables, UTF-8 replacement rules, size
// queries and error codes.
#include "tqplatform/codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tqplatform/files.h"

namespace tqplat {
namespace {

using Units = std::vector<unsigned short>;
using Bytes = std::vector<unsigned char>;

Units U(const std::u16string& s) {
    return Units(s.begin(), s.end());
}

Units ToWide(std::uint32_t codePage, const Bytes& in, std::uint32_t flags = 0) {
    auto src = reinterpret_cast<const char*>(in.data());
    int n = MultiByteToWideChar(codePage, flags, src, static_cast<int>(in.size()), nullptr, 0);
    Units out(static_cast<std::size_t>(n));
    if (n == 0) return out;
    EXPECT_EQ(
        n, MultiByteToWideChar(codePage, flags, src, static_cast<int>(in.size()), out.data(), n));
    return out;
}

Bytes ToNarrow(std::uint32_t codePage, const Units& in, bool* usedDefault = nullptr,
               const char* defaultChar = nullptr, std::uint32_t flags = 0) {
    int n = WideCharToMultiByte(codePage, flags, in.data(), static_cast<int>(in.size()), nullptr, 0,
                                defaultChar, usedDefault);
    Bytes out(static_cast<std::size_t>(n));
    if (n == 0) return out;
    EXPECT_EQ(
        n, WideCharToMultiByte(codePage, flags, in.data(), static_cast<int>(in.size()),
                               reinterpret_cast<char*>(out.data()), n, defaultChar, usedDefault));
    return out;
}

// Windows-1252 0x80-0x9F as published; the five holes keep their own value.
constexpr unsigned short kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

unsigned short Expected1252(int byte) {
    return (byte >= 0x80 && byte <= 0x9F) ? kCp1252High[byte - 0x80]
                                          : static_cast<unsigned short>(byte);
}

TEST(Cp1252, EveryByteBothWays) {
    Bytes all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<unsigned char>(b));
    for (std::uint32_t page : {CP_ACP, CP_1252}) {
        Units wide = ToWide(page, all);
        ASSERT_EQ(wide.size(), 256u);
        for (int b = 0; b < 256; ++b) EXPECT_EQ(wide[b], Expected1252(b)) << "byte " << b;
        bool usedDefault = true;
        EXPECT_EQ(ToNarrow(page, wide, &usedDefault), all);
        EXPECT_FALSE(usedDefault);
    }
}

TEST(Cp1252, UnmappableCharactersBecomeTheDefault) {
    struct Case {
        std::u16string in;
        const char* defaultChar;
        std::string out;
    };
    const Case cases[] = {
        {u"a\u0100b", nullptr, "a?b"},
        {u"x\U0001F600y", nullptr, "x?y"},  // one character, one default
        {u"\xD800z", nullptr, "?z"},        // lone surrogate
        {u"\u0100", "#", "#"},
        {u"\u20AC\u0080", nullptr, "\x80?"},  // U+0080 is not the byte 0x80
    };
    for (const Case& c : cases) {
        bool usedDefault = false;
        Bytes got = ToNarrow(CP_ACP, U(c.in), &usedDefault, c.defaultChar);
        EXPECT_EQ(std::string(got.begin(), got.end()), c.out);
        EXPECT_TRUE(usedDefault);
    }
}

struct Utf8Case {
    const char* name;
    Bytes in;
    std::u16string out;
    bool valid;
};

const Utf8Case kUtf8Cases[] = {
    {"two byte", {0xC2, 0x80, 0xC3, 0xA9}, u"\u0080\u00E9", true},
    {"three byte bounds",
     {0xE0, 0xA0, 0x80, 0xED, 0x9F, 0xBF, 0xEE, 0x80, 0x80},
     u"\u0800\uD7FF\uE000",
     true},
    {"genuine U+FFFD", {0xEF, 0xBF, 0xBD}, u"\uFFFD", true},
    {"four byte", {0xF0, 0x9F, 0x98, 0x80}, u"\U0001F600", true},
    {"four byte bounds",
     {0xF0, 0x90, 0x80, 0x80, 0xF4, 0x8F, 0xBF, 0xBF},
     u"\U00010000\U0010FFFF",
     true},
    {"overlong slash", {0xC0, 0xAF}, u"\uFFFD\uFFFD", false},
    {"overlong three byte", {0xE0, 0x9F, 0xBF}, u"\uFFFD\uFFFD\uFFFD", false},
    {"overlong four byte", {0xF0, 0x8F, 0xBF, 0xBF}, u"\uFFFD\uFFFD\uFFFD\uFFFD", false},
    {"encoded surrogate", {0xED, 0xA0, 0x80}, u"\uFFFD\uFFFD\uFFFD", false},
    {"above U+10FFFF", {0xF4, 0x90, 0x80, 0x80}, u"\uFFFD\uFFFD\uFFFD\uFFFD", false},
    {"continuations", {'a', 0x80, 0xBF, 'b'}, u"a\uFFFD\uFFFDb", false},
    {"truncated two at end", {'a', 0xC3}, u"a\uFFFD", false},
    {"truncated before ascii", {0xE2, 0x82, 'x'}, u"\uFFFDx", false},
    {"truncated before lead", {0xE2, 0xC3, 0xA9}, u"\uFFFD\u00E9", false},
    {"invalid leads", {0xC1, 0xF5, 0xFF}, u"\uFFFD\uFFFD\uFFFD", false},
    {"five byte form", {0xF8, 0x88, 0x80, 0x80, 0x80}, u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD", false},
    {"mixed",
     {0x61, 0xF1, 0x80, 0x80, 0xE1, 0x80, 0xC2, 0x62, 0x80, 0x63, 0x80, 0xBF, 0x64},
     u"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd",
     false},
};

// Lenient decoding replaces each maximal invalid subsequence, strict decoding
// refuses it, and valid text encodes back to the same bytes.
TEST(Utf8, DecodesReplacesOrRefuses) {
    for (const Utf8Case& c : kUtf8Cases) {
        EXPECT_EQ(ToWide(CP_UTF8, c.in), U(c.out)) << c.name;
        SetLastError(0);
        int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS,
                                    reinterpret_cast<const char*>(c.in.data()),
                                    static_cast<int>(c.in.size()), nullptr, 0);
        EXPECT_EQ(n, c.valid ? static_cast<int>(c.out.size()) : 0) << c.name;
        if (c.valid) {
            EXPECT_EQ(ToNarrow(CP_UTF8, U(c.out)), c.in) << c.name;
        } else {
            EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION) << c.name;
        }
    }
}

TEST(Utf8, LoneSurrogatesEncodeAsReplacement) {
    const Bytes fffd = {0xEF, 0xBF, 0xBD};
    struct Case {
        std::u16string in;
        Bytes out;
    };
    const Case cases[] = {
        {u"\xD800", fffd},
        {u"\xD83D"
         u"A",
         {0xEF, 0xBF, 0xBD, 'A'}},
        {u"\xDE00\xD83D", {0xEF, 0xBF, 0xBD, 0xEF, 0xBF, 0xBD}},  // reversed pair
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToNarrow(CP_UTF8, U(c.in)), c.out);
        SetLastError(0);
        Units in = U(c.in);
        EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, in.data(),
                                      static_cast<int>(in.size()), nullptr, 0, nullptr, nullptr),
                  0);
        EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    }
}

TEST(Conventions, MinusOneCountsTheTerminator) {
    const char* text = "h\xC3\xA9llo";
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0), 6);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 6, nullptr, 0), 5);
    unsigned short buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), 0xAAAA);
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, buffer, 8), 6);
    EXPECT_EQ(Units(buffer, buffer + 7), (Units{'h', 0xE9, 'l', 'l', 'o', 0, 0xAAAA}));

    std::fill(std::begin(buffer), std::end(buffer), 0xAAAA);
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "ab", 2, buffer, 8), 2);
    EXPECT_EQ(buffer[2], 0xAAAA) << "an explicit length writes no terminator";

    const unsigned short wide[] = {'h', 0xE9, 0x20AC, 0};
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr), 7);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr), 4);
    char narrow[8];
    ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow, 8, nullptr, nullptr), 7);
    EXPECT_STREQ(narrow, "h\xC3\xA9\xE2\x82\xAC");
    // A non-null buffer with size 0 is a size query too.
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, 0, nullptr, nullptr), 4);
}

TEST(Conventions, TooSmallBufferFailsWithoutWritingPastIt) {
    struct Case {
        std::uint32_t page;
        std::string text;
        int needed;
    };
    const Case cases[] = {
        {CP_UTF8, "abcdefghijklmnopqrstuvwxyz0123", 30},  // inside the 8-byte blocks
        {CP_UTF8, "abcdefghijklmnop", 16},                // room ends inside the last block
        {CP_UTF8, "abc\xF0\x9F\x98\x80", 5},              // the pair does not fit
        {CP_ACP, "abcdef\x80", 7},
    };
    for (const Case& c : cases) {
        Units buffer(static_cast<std::size_t>(c.needed) + 1, 0xAAAA);
        SetLastError(0);
        EXPECT_EQ(MultiByteToWideChar(c.page, 0, c.text.data(), static_cast<int>(c.text.size()),
                                      buffer.data(), c.needed - 1),
                  0);
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        EXPECT_EQ(buffer[static_cast<std::size_t>(c.needed) - 1], 0xAAAA);
        EXPECT_EQ(MultiByteToWideChar(c.page, 0, c.text.data(), static_cast<int>(c.text.size()),
                                      buffer.data(), c.needed),
                  c.needed);
    }
    const Units wide = U(u"abcde\u20AC");
    for (std::uint32_t page : {CP_UTF8, CP_ACP}) {
        const int n = static_cast<int>(wide.size());
        int needed = WideCharToMultiByte(page, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
        std::string narrow(static_cast<std::size_t>(needed), '#');
        SetLastError(0);
        EXPECT_EQ(
            WideCharToMultiByte(page, 0, wide.data(), n, &narrow[0], needed - 1, nullptr, nullptr),
            0);
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        EXPECT_EQ(narrow.back(), '#');
    }
}

TEST(Conventions, BadArgumentsFail) {
    struct Case {
        std::uint32_t page, flags;
        const char* text;
        int length, room;
        std::uint32_t error;
    };
    const Case toWide[] = {
        {CP_UTF8, 0, nullptr, 3, 4, ERROR_INVALID_PARAMETER},
        {CP_UTF8, 0, "a", 0, 4, ERROR_INVALID_PARAMETER},
        {CP_UTF8, 0, "a", -2, 4, ERROR_INVALID_PARAMETER},
        {CP_UTF8, 0, "a", 1, -1, ERROR_INVALID_PARAMETER},
        {1250, 0, "a", 1, 4, ERROR_INVALID_PARAMETER},
        {CP_UTF8, 0x1, "a", 1, 4, 1004},  // invalid flags
    };
    unsigned short wbuf[4];
    for (const Case& c : toWide) {
        SetLastError(0);
        EXPECT_EQ(MultiByteToWideChar(c.page, c.flags, c.text, c.length, wbuf, c.room), 0);
        EXPECT_EQ(GetLastError(), c.error) << (&c - toWide);
    }
    const unsigned short wide[] = {'a', 0};
    char nbuf[4];
    bool used = false;
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, nullptr, 1, nbuf, 4, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, 1, nbuf, 4, nullptr, &used), 0)
        << "UTF-8 takes no default character";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, wide, 1, nbuf, 4, nullptr, nullptr),
              0);
    EXPECT_EQ(GetLastError(), 1004u);
}

}  // namespace
}  // namespace tqplat
