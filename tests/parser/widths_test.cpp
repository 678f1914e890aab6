// What differs between the scanners: how bytes above 0x7F classify, how
// narrow text is widened, and how references are written back in each width.
#include <gtest/gtest.h>

#include "../../src/parser/unit_traits.h"
#include "parser_test_support.h"

namespace tqcore {
namespace {

using parsertest::Ansi;
using parsertest::Bytes;
using parsertest::Tree;
using parsertest::Wide;

TEST(Widths, Latin1ClassTableAgreesWithTheCharacterClasses) {
    for (unsigned c = 0; c < 256; ++c) {
        const auto u = static_cast<unsigned short>(c);
        const std::uint8_t bits = parser::ClassOf(u);
        EXPECT_EQ((bits & parser::kSpace) != 0, IsXMLSpace(u)) << c;
        EXPECT_EQ((bits & parser::kNameStart) != 0, IsXMLNameStartChar(u)) << c;
        EXPECT_EQ((bits & parser::kNameChar) != 0, IsXMLNameChar(u)) << c;
    }
    for (unsigned short u : {0x3007, 0x4E00, 0x0300, 0x0660, 0xD800, 0xFFFF, 0x02D0}) {
        const std::uint8_t bits = parser::ClassOf(u);
        EXPECT_EQ((bits & parser::kNameStart) != 0, IsXMLNameStartChar(u)) << u;
        EXPECT_EQ((bits & parser::kNameChar) != 0, IsXMLNameChar(u)) << u;
    }
}

TEST(Widths, Utf8NamesAreClassifiedBytewiseAsLatin1) {
    CXMLDoc doc;
    // C3 is a letter, A9 (the copyright sign) no name character.
    auto out = CXMLDocTestAccess::Parse(doc, Bytes("<\xC3\xA9/>"));
    EXPECT_EQ(out.code, 15u);
    EXPECT_EQ(out.offset, 2);
    // C3 B7 (the division sign) reads as a letter and an extender, so it
    // passes; values and data take any bytes.
    out = CXMLDocTestAccess::Parse(doc, Bytes("<a\xC3\xB7 b='\xC3\xA9'>\xC3\xA9</a\xC3\xB7>"));
    ASSERT_TRUE(out.parsed);
    EXPECT_EQ(Tree(doc.GetContent()), "<Main>(a\xC3\xB7[b='\xC3\xA9']{\xC3\xA9})");
}

TEST(Widths, AnsiNameBytesAboveAsciiAreIllegal) {
    CXMLDoc doc;
    auto out = CXMLDocTestAccess::Parse(doc, Ansi("<\xE9/>"));
    EXPECT_EQ(out.code, 15u);
    EXPECT_EQ(out.offset, 1);
    out = CXMLDocTestAccess::Parse(doc, Ansi("<a\xE9/>"));
    EXPECT_EQ(out.code, 15u);
    EXPECT_EQ(out.offset, 2);
    // Data and values take them, through the ANSI code page.
    out = CXMLDocTestAccess::Parse(doc, Ansi("<a b='\xE9'>\x80 \xE9</a>"));
    ASSERT_TRUE(out.parsed);
    EXPECT_EQ(Tree(doc.GetContent()), "<Main>(a[b='\xC3\xA9']{\xE2\x82\xAC \xC3\xA9})");
}

TEST(Widths, WideNamesUseTheFullClasses) {
    CXMLDoc doc;
    auto out = CXMLDocTestAccess::Parse(doc, Wide(u"<\u00E9\u4E2D x\u0300='\u20AC'>\u3007</\u00E9\u4E2D>"));
    ASSERT_TRUE(out.parsed);
    EXPECT_EQ(Tree(doc.GetContent()), "<Main>(\xC3\xA9\xE4\xB8\xAD[x\xCC\x80='\xE2\x82\xAC']{\xE3\x80\x87})");
    out = CXMLDocTestAccess::Parse(doc, Wide(u"<a\u00D7/>"));
    EXPECT_EQ(out.code, 15u);
    EXPECT_EQ(out.offset, 2);
}

// A reference becomes one UTF-16 unit, written in the text's own encoding.
TEST(Widths, ReferencesAreWrittenInTheTextsEncoding) {
    struct Case {
        const char* text;
        const char* ansi;  // the tree from each scanner, in UTF-8
        const char* utf8;
        const char* wide;
    };
    const Case cases[] = {
        {"<a>&#233;</a>", "<Main>(a{\xC3\xA9})", "<Main>(a{\xC3\xA9})", "<Main>(a{\xC3\xA9})"},
        {"<a>&#8364;&#x20AC;</a>", "<Main>(a{\xE2\x82\xAC\xE2\x82\xAC})", "<Main>(a{\xE2\x82\xAC\xE2\x82\xAC})",
         "<Main>(a{\xE2\x82\xAC\xE2\x82\xAC})"},
        {"<a b='&#x4E2D;'/>", "<Main>(a[b='?'])", "<Main>(a[b='\xE4\xB8\xAD'])", "<Main>(a[b='\xE4\xB8\xAD'])"},
        {"<a>x&#x800;y</a>", "<Main>(a{x?y})", "<Main>(a{x\xE0\xA0\x80y})", "<Main>(a{x\xE0\xA0\x80y})"},
    };
    for (const Case& c : cases) {
        CXMLDoc doc;
        EXPECT_TRUE(CXMLDocTestAccess::Parse(doc, Ansi(c.text)).parsed) << c.text;
        EXPECT_EQ(Tree(doc.GetContent()), c.ansi) << c.text;
        EXPECT_TRUE(CXMLDocTestAccess::Parse(doc, Bytes(c.text)).parsed) << c.text;
        EXPECT_EQ(Tree(doc.GetContent()), c.utf8) << c.text;
        EXPECT_TRUE(CXMLDocTestAccess::Parse(doc, Wide(parsertest::U16(c.text))).parsed) << c.text;
        EXPECT_EQ(Tree(doc.GetContent()), c.wide) << c.text;
    }
}

}  // namespace
}  // namespace tqcore
