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

std::string Failed(CXMLDocTestAccess::ParseError code, std::ptrdiff_t offset) {
    return std::to_string(static_cast<unsigned int>(code)) + "@" + std::to_string(offset);
}

// The tree, or the failure's "code@offset".
template <class T>
std::string Result(std::vector<T> text) {
    CXMLDoc doc;
    const auto out = CXMLDocTestAccess::Parse(doc, std::move(text));
    return out.parsed ? Tree(doc.GetContent()) : Failed(out.code, out.offset);
}

constexpr auto kIllegalCharacter = CXMLDocTestAccess::ParseError::IllegalCharacter;

TEST(Widths, NamesAndTextAboveAscii) {
    const std::pair<std::string, std::string> cases[] = {
        // UTF-8 names are classified bytewise as Latin-1: C3 is a letter, A9
        // no name character, B7 an extender; values and data take any bytes.
        {Result(Bytes("<\xC3\xA9/>")), Failed(kIllegalCharacter, 2)},
        {Result(Bytes("<a\xC3\xB7 b='\xC3\xA9'>\xC3\xA9</a\xC3\xB7>")),
         "<Main>(a\xC3\xB7[b='\xC3\xA9']{\xC3\xA9})"},
        // ANSI name bytes above ASCII are illegal; data and values go
        // through the ANSI code page.
        {Result(Ansi("<\xE9/>")), Failed(kIllegalCharacter, 1)},
        {Result(Ansi("<a\xE9/>")), Failed(kIllegalCharacter, 2)},
        {Result(Ansi("<a b='\xE9'>\x80 \xE9</a>")),
         "<Main>(a[b='\xC3\xA9']{\xE2\x82\xAC \xC3\xA9})"},
        // UTF-16 names use the full classes.
        {Result(Wide(u"<\u00E9\u4E2D x\u0300='\u20AC'>\u3007</\u00E9\u4E2D>")),
         "<Main>(\xC3\xA9\xE4\xB8\xAD[x\xCC\x80='\xE2\x82\xAC']{\xE3\x80\x87})"},
        {Result(Wide(u"<a\u00D7/>")), Failed(kIllegalCharacter, 2)},
    };
    for (const auto& [result, expected] : cases) EXPECT_EQ(result, expected);
}

// A reference becomes one UTF-16 unit, written in the text's own encoding.
TEST(Widths, ReferencesAreWrittenInTheTextsEncoding) {
    struct Case {
        const char* text;
        const char* ansi;  // the tree from each scanner, in UTF-8
        const char* other;
    };
    const Case cases[] = {
        {"<a>&#233;</a>", "<Main>(a{\xC3\xA9})", "<Main>(a{\xC3\xA9})"},
        {"<a>&#8364;&#x20AC;</a>", "<Main>(a{\xE2\x82\xAC\xE2\x82\xAC})",
         "<Main>(a{\xE2\x82\xAC\xE2\x82\xAC})"},
        {"<a b='&#x4E2D;'/>", "<Main>(a[b='?'])", "<Main>(a[b='\xE4\xB8\xAD'])"},
        {"<a>x&#x800;y</a>", "<Main>(a{x?y})", "<Main>(a{x\xE0\xA0\x80y})"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Result(Ansi(c.text)), c.ansi) << c.text;
        EXPECT_EQ(Result(Bytes(c.text)), c.other) << c.text;
        EXPECT_EQ(Result(Wide(parsertest::U16(c.text))), c.other) << c.text;
    }
}

}  // namespace
}  // namespace tqcore
