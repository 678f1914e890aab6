// Character classes against their tables, and the name rule.
#include <gtest/gtest.h>

#include <iterator>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

struct Table {
    const char* name;
    const XMLCHARRANGE* rows;
    unsigned int count;
    bool Has(unsigned short c) const {
        for (unsigned int i = 0; i < count; ++i)
            if (rows[i].first <= c && c <= rows[i].last) return true;
        return false;
    }
};
const Table kTables[] = {
    {"BaseChar", XMLBaseCharRanges, unsigned(std::size(XMLBaseCharRanges))},
    {"Ideographic", XMLIdeographicRanges, unsigned(std::size(XMLIdeographicRanges))},
    {"Digit", XMLDigitRanges, unsigned(std::size(XMLDigitRanges))},
    {"CombiningChar", XMLCombiningCharRanges, unsigned(std::size(XMLCombiningCharRanges))},
    {"Extender", XMLExtenderRanges, unsigned(std::size(XMLExtenderRanges))},
};

// The search and every fast path against a linear scan of the tables, whose
// row counts are fixed (a misordered row fails the search).
TEST(CharClasses, SearchAndFastPathsMatchTheTablesForEveryUnit) {
    const unsigned int counts[] = {202, 3, 15, 95, 11};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(kTables[i].count, counts[i]) << kTables[i].name;
    EXPECT_FALSE(FindCharRange(XMLDigitRanges, 0, '5'));
    for (unsigned int u = 0; u <= 0xFFFF; ++u) {
        const auto c = static_cast<unsigned short>(u);
        bool in[5];
        for (int i = 0; i < 5; ++i) {
            in[i] = kTables[i].Has(c);
            ASSERT_EQ(FindCharRange(kTables[i].rows, kTables[i].count, c), in[i])
                << kTables[i].name << ' ' << u;
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
                  (u >= '0' && u <= '9') || ((u | 0x20) >= 'a' && (u | 0x20) <= 'f'))
            << u;
        ASSERT_EQ(IsXMLMarkupChar(c), u == '&' || u == '<' || u == '>' || u == '"' || u == '\'')
            << u;
    }
    // A char is sign-extended, an unsigned char taken as Latin-1.
    EXPECT_EQ(XMLUnitFromChar('\xE9'), 0xFFE9);
    EXPECT_EQ(XMLUnitFromByte(0xE9), 0xE9);
}

TEST(NameRule, WideAndNarrowNames) {
    const std::pair<const char16_t*, bool> wide[] = {
        {u"_a", true},      {u"a-b.c:d_e1", true}, {u"\u00E9t\u00E9", true}, {u"a\u00B7", true},
        {u"a\u0300", true}, {u"1a", false},        {u"\u00B7a", false},      {u"", false},
        {u"a b", false},    {u"a\xD800", false},
    };
    for (const auto& [name, valid] : wide)
        EXPECT_EQ(CXMLObjectTestAccess::isValidName(W(name)), valid)
            << testing::PrintToString(std::u16string(name));
    EXPECT_FALSE(CXMLObjectTestAccess::isValidName(static_cast<const unsigned short*>(nullptr)));
    // Narrow names refuse bytes above 0x7F.
    const std::pair<const char*, bool> narrow[] = {{"a.b-c", true}, {"_1", true},     {"1a", false},
                                                   {"\xE9", false}, {"a\xE9", false}, {"", false}};
    for (const auto& [name, valid] : narrow)
        EXPECT_EQ(CXMLObjectTestAccess::isValidName(name), valid) << name;
    EXPECT_FALSE(CXMLObjectTestAccess::isValidName(static_cast<const char*>(nullptr)));
}

}  // namespace
