// Wide printf/scanf: the Windows conventions the library relies on and the
// result rule at the buffer's end.
#include "tqplatform/wformat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "platform_test_support.h"

namespace tqplat {
namespace {

using Units = std::vector<unsigned short>;
// UTF-16 literals as the interface takes them, alive to the end of the statement.
const auto W = U;

template <typename... Args>
std::u16string F(const char16_t* format, Args... args) {
    unsigned short buffer[512];
    int n = _snwprintf_l(buffer, 512, W(format), nullptr, args...);
    return n < 0 ? u"<failed>" : std::u16string(buffer, buffer + n);
}

TEST(WidePrintf, Conversions) {
    const double inf = std::numeric_limits<double>::infinity();
    const double quiet = std::numeric_limits<double>::quiet_NaN();
    const std::u16string cases[][2] = {
        {F(u"[%ls|%S]", W(u"abc"), "xy"), u"[abc|xy]"},
        {F(u"[%s]", W(u"a\u20ACb")), u"[a\u20ACb]"},   // %s is wide in the wide functions
        {F(u"[%hs]", "\xE9\x80"), u"[\u00E9\u20AC]"},  // narrow text is ANSI
        {F(u"[%s|%hs]", static_cast<const unsigned short*>(nullptr),
           static_cast<const char*>(nullptr)),
         u"[(null)|(null)]"},
        {F(u"[%.3ls|%5ls|%-5hs]", W(u"abcdef"), W(u"ab"), "ab"), u"[abc|   ab|ab   ]"},
        {F(u"[%c%c%hc]", 'A', 0x20AC, static_cast<char>(0x80)), u"[A\u20AC\u20AC]"},
        {F(u"100%% %d", std::numeric_limits<int>::min()), u"100% -2147483648"},
        {F(u"%+d % d|%-05d|%05d", 5, 5, 42, -42), u"+5  5|42   |-0042"},
        {F(u"%08.3d|[%.0d]", 7, 0), u"     007|[]"},  // a precision turns 0 off
        {F(u"%u %x %X %o", -1, 255, 255, 8), u"4294967295 ff FF 10"},
        {F(u"%#x %#o %#x %#010x", 255, 8, 0, 255), u"0xff 010 0 0x000000ff"},
        {F(u"%hd %hu %hx", 65535, 65537, 0x12345), u"-1 1 2345"},
        {F(u"%I64d %I64u", INT64_MIN, UINT64_MAX), u"-9223372036854775808 18446744073709551615"},
        {F(u"%lld %llx %zu", -1LL, 1ULL << 40, std::size_t{123456789012}),
         u"-1 10000000000 123456789012"},
        {F(u"%*d|%*d|", 5, 42, -4, 7), u"   42|7   |"},  // a negative width means left
        {F(u"%p", reinterpret_cast<void*>(0x1234abcdu)), u"000000001234ABCD"},
        {F(u"%08.3f %e %E", -3.14159, 12345.678, 0.000123), u"-003.142 1.234568e+04 1.230000E-04"},
        {F(u"%.0f %#.0f %+.1f", 2.5, 2.0, 1.25), u"2 2. +1.2"},
        {F(u"%.17g %Lg", 0.1, 2.5L), u"0.10000000000000001 2.5"},
        {F(u"%.0f", 1e300).size() == 301 ? u"ok" : u"bad", u"ok"},  // longer than the stack buffer
        {F(u"%f %F %e|%5f|", inf, inf, -inf, inf), u"inf INF -inf|  inf|"},
        {F(u"%f %G %f", quiet, quiet, -std::copysign(quiet, 1.0)), u"nan NAN -nan(ind)"},
    };
    for (const auto& c : cases) EXPECT_EQ(c[0], c[1]) << "case " << (&c - cases);
}

// The text is cut at the buffer's end and terminated only when there is room.
TEST(WidePrintf, ResultAtTheEndOfTheBuffer) {
    // Format, count, result.
    const std::tuple<std::u16string, std::size_t, int> cases[] = {
        {u"abc", 10, 3}, {u"abc", 4, 3}, {u"abc", 3, 3}, {u"abcd", 3, -1},  // too long: negative
        {u"", 1, 0},     {u"", 0, 0},    {u"a", 0, -1},
    };
    for (const auto& [format, count, result] : cases) {
        Units buffer(16, 0xAAAA);
        EXPECT_EQ(_snwprintf_l(buffer.data(), count, W(format), nullptr), result) << count;
        const std::size_t kept = std::min(format.size(), count);
        EXPECT_EQ(std::u16string(buffer.begin(), buffer.begin() + kept), format.substr(0, kept));
        EXPECT_EQ(buffer[kept], kept < count ? 0 : 0xAAAA) << count;
    }
    // A null buffer with count 0 asks for the length.
    EXPECT_EQ(_snwprintf_l(nullptr, 0, W(u"%d-%ls"), nullptr, 12345, W(u"xyz")), 9);
    EXPECT_EQ(_snwprintf_l(nullptr, 5, W(u"abc"), nullptr), -1);
}

TEST(WidePrintf, BadFormatsFail) {
    int n = 0;
    unsigned short buffer[64];
    const char16_t* formats[] = {u"%n", u"abc%", u"%q", u"%a", u"%99999999d", u"%.99999999f"};
    for (const char16_t* format : formats) {
        buffer[0] = 'x';
        EXPECT_LT(_snwprintf_l(buffer, 64, W(format), nullptr, &n, 1.0), 0)
            << std::string(format, format + 3);
        EXPECT_EQ(buffer[0], 0);
    }
    EXPECT_LT(_snwprintf_l(buffer, 64, nullptr, nullptr), 0);
}

// What scanning `input` by `format` returns, and the one field it stores.
template <class Value>
std::pair<int, Value> Scan(const char16_t* input, const char16_t* format, Value initial) {
    Value value = initial;
    return {_swscanf_l(W(input), W(format), nullptr, &value), value};
}

TEST(WideScanf, Integers) {
    using Int = std::pair<int, std::int32_t>;
    using Int64 = std::pair<int, std::uint64_t>;
    const Int cases[][2] = {
        {Scan(u" \t\r\n42", u"%d", 777), {1, 42}},  // leading white space
        {Scan(u"+17", u"%d", 777), {1, 17}},
        {Scan(u"12abc", u"%d", 777), {1, 12}},  // the converted prefix
        {Scan(u"abc", u"%d", 777), {0, 777}},
        {Scan(u"", u"%d", 777), {-1, 777}},
        {Scan(u"2147483648", u"%d", 777), {1, std::numeric_limits<std::int32_t>::min()}},  // wraps
        {Scan(u"4294967295", u"%u", 777), {1, -1}},
        {Scan(u"0x1A", u"%x", 777), {1, 26}},
        {Scan(u"0xg", u"%x", 777), {1, 0}},
        {Scan(u"010", u"%i", 777), {1, 8}},
        {Scan(u"12345", u"%3d", 777), {1, 123}},
        {Scan(u"y=5", u"x=%d", 777), {0, 777}},  // mismatching literal
        {Scan(u"x", u"x=%d", 777), {-1, 777}},   // input ends at a literal
        {Scan(u"x=5", u"x = %d", 777), {1, 5}},  // white space in the format matches none too
        {Scan(u"1 2", u"%*d %d", 777), {1, 2}},
    };
    for (const auto& c : cases) EXPECT_EQ(c[0], c[1]) << (&c - cases);
    const Int64 sized[][2] = {
        {Scan(u"3ff8000000000000(1.5)", u"%I64x", std::uint64_t{5}), {1, 0x3ff8000000000000}},
        {Scan(u"-9223372036854775808", u"%I64d", std::uint64_t{5}), {1, 0x8000000000000000}},
        {Scan(u"123456789012", u"%zu", std::uint64_t{5}), {1, 123456789012}},
        {Scan(u"zz", u"%I64x", std::uint64_t{5}), {0, 5}},
    };
    for (const auto& c : sized) EXPECT_EQ(c[0], c[1]) << (&c - sized);
    short narrower[2] = {0, 0x5555};  // written in its own width only
    EXPECT_EQ(_swscanf_l(W(u"65535"), W(u"%hd"), nullptr, &narrower[0]), 1);
    EXPECT_EQ(narrower[0], -1);
    EXPECT_EQ(narrower[1], 0x5555);
    EXPECT_EQ(_swscanf_l(nullptr, W(u"%hd"), nullptr, &narrower[0]), -1);
    EXPECT_EQ(_swscanf_l(W(u"1"), nullptr, nullptr, &narrower[0]), -1);
}

TEST(WideScanf, Doubles) {
    const double inf = std::numeric_limits<double>::infinity();
    // Input, result, value, units consumed.
    const std::tuple<const char16_t*, int, double, int> cases[] = {
        {u" -2.25e3", 1, -2250.0, 8},
        {u".5", 1, 0.5, 2},
        {u"1e+x", 1, 1.0, 1},  // an exponent needs digits
        {u"3ff8000000000000(1.5)", 1, 3.0, 1},
        {u"-Infinity", 1, -inf, 9},
        {u"0x1p3", 1, 8.0, 5},
        {u"abc", 0, 9.0, -1},
        {u".", 0, 9.0, -1},
        {u"", -1, 9.0, -1},
    };
    for (const auto& c : cases) {
        const auto& [input, result, value, consumed] = c;
        double scanned = 9.0;
        int used = -1;
        EXPECT_EQ(_swscanf_l(W(input), W(u"%lg%n"), nullptr, &scanned, &used), result)
            << (&c - cases);
        EXPECT_EQ(std::pair(scanned, used), std::pair(value, consumed)) << (&c - cases);
    }
    EXPECT_EQ(Scan(u"0.1", u"%g", 0.0f), std::pair(1, 0.1f));
}

}  // namespace
}  // namespace tqplat
