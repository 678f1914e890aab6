#include <gtest/gtest.h>

#include <iterator>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

struct Table {
    const char* name;
    const XMLCHARRANGE* rows;
    unsigned int count;
    unsigned int expectedCount;
    // Rows fixed by position: the first, the first of a fast-path split, the last.
    std::vector<std::pair<unsigned int, XMLCHARRANGE>> fixedRows;
};

const std::vector<Table>& Tables() {
    static const std::vector<Table> tables = {
        {"BaseChar",
         XMLBaseCharRanges,
         unsigned(std::size(XMLBaseCharRanges)),
         202,
         {{0, {0x41, 0x5A}},
          {1, {0x61, 0x7A}},
          {2, {0xC0, 0xD6}},
          {3, {0xD8, 0xF6}},
          {4, {0xF8, 0xFF}},
          {5, {0x100, 0x131}},
          {201, {0xAC00, 0xD7A3}}}},
        {"Ideographic",
         XMLIdeographicRanges,
         unsigned(std::size(XMLIdeographicRanges)),
         3,
         {{0, {0x3007, 0x3007}}, {1, {0x3021, 0x3029}}, {2, {0x4E00, 0x9FA5}}}},
        {"Digit",
         XMLDigitRanges,
         unsigned(std::size(XMLDigitRanges)),
         15,
         {{0, {0x30, 0x39}}, {1, {0x660, 0x669}}, {14, {0xF20, 0xF29}}}},
        {"CombiningChar",
         XMLCombiningCharRanges,
         unsigned(std::size(XMLCombiningCharRanges)),
         95,
         {{0, {0x300, 0x345}}, {94, {0x309A, 0x309A}}}},
        {"Extender",
         XMLExtenderRanges,
         unsigned(std::size(XMLExtenderRanges)),
         11,
         {{0, {0xB7, 0xB7}}, {1, {0x2D0, 0x2D0}}, {10, {0x30FC, 0x30FE}}}},
    };
    return tables;
}

TEST(CharClassTables, RowCountsAndBoundaryRows) {
    for (const Table& t : Tables()) {
        SCOPED_TRACE(t.name);
        ASSERT_EQ(t.count, t.expectedCount);
        for (const auto& [index, row] : t.fixedRows) {
            EXPECT_EQ(t.rows[index].first, row.first) << "row " << index;
            EXPECT_EQ(t.rows[index].last, row.last) << "row " << index;
        }
    }
    EXPECT_FALSE(FindCharRange(XMLDigitRanges, 0, '5'));
}

bool InTable(const Table& t, unsigned short c) {
    for (unsigned int i = 0; i < t.count; ++i)
        if (t.rows[i].first <= c && c <= t.rows[i].last) return true;
    return false;
}

// The search and every fast path against a linear scan of the full tables (a misordered row fails
// here).
TEST(CharClasses, SearchAndFastPathsMatchTheFullTablesForEveryUnit) {
    const auto& t = Tables();
    for (unsigned int u = 0; u <= 0xFFFF; ++u) {
        const auto c = static_cast<unsigned short>(u);
        bool in[5];
        for (int i = 0; i < 5; ++i) {
            in[i] = InTable(t[i], c);
            ASSERT_EQ(FindCharRange(t[i].rows, t[i].count, c), in[i]) << t[i].name << ' ' << u;
        }
        const auto [base, ideo, digit, combining, extender] = in;
        ASSERT_EQ(IsXMLBaseChar(c), base) << u;
        ASSERT_EQ(IsXMLIdeographic(c), ideo) << u;
        ASSERT_EQ(IsXMLDigit(c), digit) << u;
        ASSERT_EQ(IsXMLCombiningChar(c), combining) << u;
        ASSERT_EQ(IsXMLExtender(c), extender) << u;
        ASSERT_EQ(IsXMLLetter(c), base || ideo) << u;
        ASSERT_EQ(IsXMLNameStartChar(c), base || ideo || c == '_' || c == ':') << u;
        ASSERT_EQ(IsXMLNameChar(c), base || ideo || digit || combining || extender || c == '.' ||
                                        c == '-' || c == '_' || c == ':')
            << u;
        const bool space = u == 0x20 || u == 0x0A || u == 0x0D || u == 0x09;
        ASSERT_EQ(IsXMLSpace(c), space) << u;
        ASSERT_EQ(IsXMLNonSpace(c), !space) << u;
        ASSERT_EQ(IsXMLLineBreak(c), u == 0x0A || u == 0x0D) << u;
        ASSERT_EQ(IsXMLTab(c), u == 0x09) << u;
        ASSERT_EQ(IsXMLHexDigit(c),
                  (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F'))
            << u;
        ASSERT_EQ(IsXMLMarkupChar(c), u == '&' || u == '<' || u == '>' || u == '"' || u == '\'')
            << u;
    }
}

TEST(CharClasses, NarrowTextWidening) {
    // A char is sign-extended, an unsigned char taken as Latin-1.
    EXPECT_EQ(XMLUnitFromChar('\xE9'), 0xFFE9);
    EXPECT_EQ(XMLUnitFromChar('A'), 'A');
    EXPECT_EQ(XMLUnitFromByte(0xE9), 0xE9);
}

}  // namespace
