// The run finders, SSE2 and portable: every stop is found at every alignment,
// and UTF-16 units whose bytes look like stops do not stop a run.
#include "../../src/parser/scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "parser_test_support.h"
#include "tqcore/wtext.h"
#include "tqplatform/memory.h"

namespace tqcore::parsertest {
namespace {

namespace scan = parser::scan;

constexpr std::size_t kStarts = 34;  // every offset in a step of 32 bytes, in both widths
constexpr std::size_t kReach = 72;   // stops up to two and a half steps on

using Units = std::vector<unsigned>;

// Each unit alone.
std::vector<Units> Each(const Units& units) {
    std::vector<Units> each;
    for (unsigned u : units) each.push_back({u});
    return each;
}

// Fills the text from `fillers` (cycled, `space` at every fifth unit when
// given), puts a stop at k, then a zero or more filler; runs `find` from every
// start at or before k and compares with the position `expect` names.
template <class T, class Find, class Expect>
void ForEveryStop(const Units& fillers, const std::vector<Units>& stops, Find find, Expect expect,
                  unsigned space = 0) {
    constexpr std::size_t kEnd = kStarts + kReach + 4;
    std::vector<Chunk> chunks((kEnd + 4) * sizeof(T) / sizeof(Chunk) + 2);
    T* const text = reinterpret_cast<T*>(chunks.data());
    for (const Units& stop : stops)
        for (std::size_t start = 0; start < kStarts; ++start)
            for (std::size_t k = start; k < start + kReach; ++k)
                for (bool terminated : {true, false}) {
                    for (std::size_t i = 0; i < kEnd; ++i)
                        text[i] = static_cast<T>(space && i % 5 == 2 ? space
                                                                     : fillers[i % fillers.size()]);
                    for (std::size_t i = 0; i < stop.size(); ++i)
                        text[k + i] = static_cast<T>(stop[i]);
                    if (terminated) text[k + stop.size()] = 0;
                    text[kEnd] = 0;
                    const std::ptrdiff_t found = find(text + start) - text;
                    ASSERT_EQ(found, expect(text, start, k))
                        << "unit width " << sizeof(T) << ", stop " << stop[0] << ", start " << start
                        << ", at " << k << (terminated ? ", terminated" : "");
                }
}

template <class T>
std::vector<unsigned> Ordinary(std::vector<unsigned> units) {
    if (sizeof(T) == 1)
        units.insert(units.end(), {0x7F, 0x80, 0xA0, 0xC3, 0xFF});
    else  // above the bytes, surrogates, and units whose bytes are stops or name characters
        units.insert(units.end(), {0x100, 0xD800, 0xDFFF, 0xFFFF, 0x2000, 0x2020, 0x263C, 0x0A0D,
                                   0x6161, 0x2D2D, 0x4E00});
    return units;
}

auto AtStop = [](const void*, std::size_t, std::size_t k) {
    return static_cast<std::ptrdiff_t>(k);
};

template <class Finders, class T>
void CheckFinders() {
    ForEveryStop<T>(
        {' ', '\t', '\n', '\r'}, Each(Ordinary<T>({'a', 0, 0x0B, '<'})),
        [](T* p) { return Finders::SkipSpace(p); }, AtStop);
    ForEveryStop<T>(
        Ordinary<T>({'a', '\'', '>'}), Each({'"', 0}),
        [](T* p) { return Finders::FindAnyOf(p, T('"'), T(0)); }, AtStop);
    ForEveryStop<T>(
        Ordinary<T>({'a', ' ', ']', '=', '/'}), Each({0, '"', '\'', '[', '>'}),
        [](T* p) { return Finders::FindAnyOf(p, T(0), T('"'), T('\''), T('['), T('>')); }, AtStop);
    ForEveryStop<T>(
        {'a', 'Z', '0', '9', '-', '.', ':', '_', 'z'},
        Each(Ordinary<T>({0, ' ', '/', '=', '>', '@', '[', '`', '{', ',', ';', 0xB7, 0xC0})),
        [](T* p) { return Finders::FindNameCandidate(p); }, AtStop);
    ForEveryStop<T>(
        Ordinary<T>({'a', '\'', '>', 0x21, 0x7E}), Each({0, ' ', '\t', 0x01, '&', '<', '"'}),
        [](T* p) { return Finders::FindPlainEnd(p, '"'); }, AtStop);

    // Data: white space stops the run only before more white space or a
    // stop. The run is written, lone white space as a space, to a copy or in
    // place, where nothing from its end on may change.
    const unsigned term = '"';
    auto white = [](unsigned u) { return u == ' ' || u == '\t' || u == '\n' || u == '\r'; };
    auto toStop = [&white](const T* text, std::size_t start, std::size_t k) {
        const bool whiteBefore = k > start && white(scan::Unit(text[k - 1]));
        return static_cast<std::ptrdiff_t>(whiteBefore ? k - 1 : k);
    };
    const std::vector<Units> stops = {
        {0},         {'&'},        {'<'},        {'"'},       {0x01},      {0x1F},    {' ', ' '},
        {' ', '\n'}, {'\t', '\t'}, {'\n', '\r'}, {'\r', '&'}, {' ', 0x01}, {'\n', 0}, {'\t', '"'}};
    std::vector<Chunk> copyChunks((kStarts + kReach + 32) * sizeof(T) / sizeof(Chunk) + 2);
    T* const copy = reinterpret_cast<T*>(copyChunks.data());
    std::vector<T> before(kStarts + kReach + 8);
    auto wroteRun = [&white](const T* from, const T* end, const T* to) {
        for (const T* q = from; q < end; ++q, ++to)
            ASSERT_EQ(scan::Unit(*to), white(scan::Unit(*q)) ? ' ' : scan::Unit(*q)) << q - from;
    };
    for (unsigned space : {0u, unsigned{' '}, unsigned{'\n'}, unsigned{'\t'}})
        for (bool inPlace : {false, true})
            ForEveryStop<T>(
                Ordinary<T>({'a', '\'', '>', 0x21, 0x7E}), stops,
                [&](T* p) {
                    std::copy(p, p + before.size(), before.begin());
                    T* const to = inPlace ? p : copy + 1;
                    T* end = Finders::CopyDataRun(p, to, term);
                    wroteRun(before.data(), before.data() + (end - p), to);
                    EXPECT_TRUE(std::equal(end, p + before.size(), before.begin() + (end - p)));
                    return end;
                },
                toStop, space);
}

TEST(Scan, PortableFindersStopAtEveryPosition) {
    CheckFinders<scan::Portable, char>();
    CheckFinders<scan::Portable, unsigned char>();
    CheckFinders<scan::Portable, unsigned short>();
}

#ifdef TQXML_SSE2_SCAN
TEST(Scan, Sse2FindersStopAtEveryPosition) {
    CheckFinders<scan::Sse2, char>();
    CheckFinders<scan::Sse2, unsigned char>();
    CheckFinders<scan::Sse2, unsigned short>();
}
#endif

// Text whose terminator ends a page that is followed by an unreadable one:
// from every start in the page's last 64 bytes, each finder stops on the
// terminator without touching the next page.
template <class Finders, class T>
void CheckAtPageEnd(T* pageEnd) {
    constexpr std::size_t kUnits = 64 / sizeof(T);
    T* const text = pageEnd - kUnits;
    for (std::size_t start = 0; start < kUnits; ++start) {
        T* const end = pageEnd - 1;
        *end = 0;
        std::fill(text, end, T(' '));
        EXPECT_EQ(Finders::SkipSpace(text + start), end);
        std::fill(text, end, T('a'));
        EXPECT_EQ(Finders::FindAnyOf(text + start, T('"'), T(0)), end);
        EXPECT_EQ(Finders::FindNameCandidate(text + start), end);
        EXPECT_EQ(Finders::FindPlainEnd(text + start, '"'), end);
        EXPECT_EQ(Finders::CopyDataRun(text + start, text + start, '"'), end);
    }
}

#ifdef TQXML_SSE2_SCAN
TEST(Scan, Sse2FindersStayInTheTerminatorsPage) {
    constexpr std::size_t kPage = 4096;
    auto* pages = static_cast<char*>(
        tqplat::VirtualAlloc(nullptr, 2 * kPage, tqplat::MEM_RESERVE, tqplat::PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    ASSERT_NE(tqplat::VirtualAlloc(pages, kPage, tqplat::MEM_COMMIT, tqplat::PAGE_READWRITE),
              nullptr);
    CheckAtPageEnd<scan::Sse2>(reinterpret_cast<char*>(pages + kPage));
    CheckAtPageEnd<scan::Sse2>(reinterpret_cast<unsigned short*>(pages + kPage));
    tqplat::VirtualFree(pages, 0, tqplat::MEM_RELEASE);
}
#endif

// Units above ASCII in names: UTF-16 takes letters above U+00FF and refuses
// other units wherever they stand; UTF-8 takes bytes that are Latin-1
// letters; ANSI refuses every byte above 0x7F.
TEST(Scan, NamesAboveAsciiAtEveryPosition) {
    for (std::size_t n = 0; n <= kReach; ++n) {
        const std::string illegal =
            Failed(ParseError::IllegalCharacter, static_cast<std::ptrdiff_t>(2 + n));
        const std::u16string wide = u"<a" + std::u16string(n, u'\u0416');
        EXPECT_EQ(Outcome(Wide(wide + u"\u00D7/>")), illegal);
        EXPECT_EQ(Outcome(Wide(wide + char16_t{0xD800} + u"/>")), illegal);
        EXPECT_EQ(Outcome(Wide(wide + u"/>")), "<Main>(" + Utf8(W(wide.c_str() + 1)) + ")");
        const std::string bytes = "<a" + std::string(n, '\xC3');
        EXPECT_EQ(Outcome(Bytes(bytes + "\xA9/>")), illegal);
        EXPECT_EQ(Outcome(Ansi(bytes + "/>")),
                  n ? Failed(ParseError::IllegalCharacter, 2) : "<Main>(a)");
    }
}

}  // namespace
}  // namespace tqcore::parsertest
