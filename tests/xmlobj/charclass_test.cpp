#include <gtest/gtest.h>

#include <iterator>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

struct TableShape {
    const char* name;
    const XMLCHARRANGE* rows;
    unsigned int count;
    unsigned int expectedCount;
    // Rows fixed by position: the first, the first of a fast-path split, the last.
    std::vector<std::pair<unsigned int, XMLCHARRANGE>> fixedRows;
};

TEST(CharClassTables, RowCountsBoundaryRowsAndOrder) {
    const TableShape tables[] = {
        {"BaseChar", XMLBaseCharRanges, unsigned(std::size(XMLBaseCharRanges)), 202,
         {{0, {0x41, 0x5A}}, {1, {0x61, 0x7A}}, {2, {0xC0, 0xD6}}, {3, {0xD8, 0xF6}}, {4, {0xF8, 0xFF}},
          {5, {0x100, 0x131}}, {201, {0xAC00, 0xD7A3}}}},
        {"Ideographic", XMLIdeographicRanges, unsigned(std::size(XMLIdeographicRanges)), 3,
         {{0, {0x3007, 0x3007}}, {1, {0x3021, 0x3029}}, {2, {0x4E00, 0x9FA5}}}},
        {"Digit", XMLDigitRanges, unsigned(std::size(XMLDigitRanges)), 15,
         {{0, {0x30, 0x39}}, {1, {0x660, 0x669}}, {14, {0xF20, 0xF29}}}},
        {"CombiningChar", XMLCombiningCharRanges, unsigned(std::size(XMLCombiningCharRanges)), 95,
         {{0, {0x300, 0x345}}, {94, {0x309A, 0x309A}}}},
        {"Extender", XMLExtenderRanges, unsigned(std::size(XMLExtenderRanges)), 11,
         {{0, {0xB7, 0xB7}}, {1, {0x2D0, 0x2D0}}, {10, {0x30FC, 0x30FE}}}},
    };
    for (const TableShape& t : tables) {
        SCOPED_TRACE(t.name);
        ASSERT_EQ(t.count, t.expectedCount);
        for (const auto& [index, row] : t.fixedRows) {
            EXPECT_EQ(t.rows[index].first, row.first) << "row " << index;
            EXPECT_EQ(t.rows[index].last, row.last) << "row " << index;
        }
        for (unsigned int i = 0; i < t.count; ++i) {
            EXPECT_LE(t.rows[i].first, t.rows[i].last) << "row " << i;
            if (i) {
                EXPECT_LT(t.rows[i - 1].last, t.rows[i].first) << "row " << i;
            }
        }
    }
}

bool InTable(const XMLCHARRANGE* rows, std::size_t count, unsigned short c) {
    for (std::size_t i = 0; i < count; ++i)
        if (rows[i].first <= c && c <= rows[i].last) return true;
    return false;
}

TEST(CharClassTables, FindCharRangeAgreesWithALinearScan) {
    for (unsigned int u = 0; u <= 0xFFFF; ++u) {
        const auto c = static_cast<unsigned short>(u);
        ASSERT_EQ(FindCharRange(XMLBaseCharRanges, 202, c), InTable(XMLBaseCharRanges, 202, c)) << u;
        ASSERT_EQ(FindCharRange(XMLCombiningCharRanges, 95, c), InTable(XMLCombiningCharRanges, 95, c)) << u;
    }
    EXPECT_FALSE(FindCharRange(XMLDigitRanges, 0, '5'));
}

TEST(CharClasses, FastPathsMatchTheFullTablesForEveryUnit) {
    for (unsigned int u = 0; u <= 0xFFFF; ++u) {
        const auto c = static_cast<unsigned short>(u);
        const bool base = FindCharRange(XMLBaseCharRanges, 202, c);
        const bool ideo = FindCharRange(XMLIdeographicRanges, 3, c);
        const bool digit = FindCharRange(XMLDigitRanges, 15, c);
        const bool combining = FindCharRange(XMLCombiningCharRanges, 95, c);
        const bool extender = FindCharRange(XMLExtenderRanges, 11, c);
        ASSERT_EQ(IsXMLBaseChar(c), base) << u;
        ASSERT_EQ(IsXMLIdeographic(c), ideo) << u;
        ASSERT_EQ(IsXMLDigit(c), digit) << u;
        ASSERT_EQ(IsXMLCombiningChar(c), combining) << u;
        ASSERT_EQ(IsXMLExtender(c), extender) << u;
        ASSERT_EQ(IsXMLLetter(c), base || ideo) << u;
        ASSERT_EQ(IsXMLNameStartChar(c), base || ideo || c == '_' || c == ':') << u;
        ASSERT_EQ(IsXMLNameChar(c), base || ideo || digit || combining || extender || c == '.' || c == '-' ||
                                        c == '_' || c == ':')
            << u;
    }
}

TEST(CharClasses, SmallClassesOverEveryUnit) {
    for (unsigned int u = 0; u <= 0xFFFF; ++u) {
        const auto c = static_cast<unsigned short>(u);
        const bool space = u == 0x20 || u == 0x0A || u == 0x0D || u == 0x09;
        ASSERT_EQ(IsXMLSpace(c), space) << u;
        ASSERT_EQ(IsXMLNonSpace(c), !space) << u;
        ASSERT_EQ(IsXMLLineBreak(c), u == 0x0A || u == 0x0D) << u;
        ASSERT_EQ(IsXMLTab(c), u == 0x09) << u;
        ASSERT_EQ(IsXMLHexDigit(c), (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F'))
            << u;
        ASSERT_EQ(IsXMLMarkupChar(c), u == '&' || u == '<' || u == '>' || u == '"' || u == '\'') << u;
    }
}

TEST(CharClasses, LetterBoundaries) {
    struct Case {
        unsigned short unit;
        bool letter;
    };
    const Case cases[] = {{0x3007, true},  {0x3021, true},  {0x4E00, true},  {0x9FA5, true}, {0xAC00, true},
                          {0xD7A3, true},  {0x9FA6, false}, {0xD7A4, false}, {0xD7, false},  {0xF7, false},
                          {0x3020, false}, {0x302A, false}, {0xC0, true},    {0xFF, true},   {0x40, false}};
    for (const Case& c : cases) EXPECT_EQ(IsXMLLetter(c.unit), c.letter) << std::hex << c.unit;
}

TEST(CharClasses, HighUnitsBelongToNoNameOrSpaceClass) {
    for (unsigned int u = 0xD800; u <= 0xFFFF; ++u) {
        const auto c = static_cast<unsigned short>(u);
        ASSERT_FALSE(IsXMLLetter(c) || IsXMLDigit(c) || IsXMLNameChar(c) || IsXMLNameStartChar(c) ||
                     IsXMLSpace(c) || IsXMLCombiningChar(c) || IsXMLExtender(c))
            << u;
    }
}

TEST(CharClasses, NarrowTextWidening) {
    // A char is sign-extended, an unsigned char taken as Latin-1.
    EXPECT_EQ(XMLUnitFromChar('\xE9'), 0xFFE9);
    EXPECT_FALSE(IsXMLLetter(XMLUnitFromChar('\xE9')));
    EXPECT_TRUE(IsXMLLetter(XMLUnitFromByte(0xE9)));
    EXPECT_TRUE(IsXMLExtender(XMLUnitFromByte(0xB7)));
    EXPECT_FALSE(IsXMLLetter(XMLUnitFromByte(0xD7)));
    EXPECT_EQ(XMLUnitFromChar('A'), 'A');
}

}  // namespace
