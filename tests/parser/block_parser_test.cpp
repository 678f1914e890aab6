// The block parser on ASCII documents, run through all three scanners: the
// tree it builds, or the error code and position it records.
#include <gtest/gtest.h>

#include "parser_test_support.h"
#include "support/capture.h"

namespace tqcore {
namespace {

using parsertest::Ansi;
using parsertest::Bytes;
using parsertest::Tree;
using parsertest::U16;
using parsertest::Wide;

struct Parsed {
    const char* text;
    const char* tree;
};

// Runs `check` once per scanner with the same ASCII text.
template <class Check>
void ForEachWidth(const std::string& text, Check check) {
    CXMLDoc a, u, w;
    check("ANSI", CXMLDocTestAccess::Parse(a, Ansi(text)), a);
    check("UTF-8", CXMLDocTestAccess::Parse(u, Bytes(text)), u);
    check("UTF-16", CXMLDocTestAccess::Parse(w, Wide(U16(text))), w);
}

TEST(BlockParser, BuildsTheTreeAndDecodesText) {
    const Parsed cases[] = {
        {"<a/><b/>", "<Main>(a b)"},
        {" \r\n\t<a>x</a> \n", "<Main>(a{x})"},
        {"<a><b><c/></b><d/></a>", "<Main>(a(b(c) d))"},
        {"<a b='1'c=\"2\">t</a>", "<Main>(a[b='1' c='2']{t})"},
        {"<a  b = '1'\n/>", "<Main>(a[b='1'])"},
        {"<a b='say \"hi\"' c=\"it's\"/>", "<Main>(a[b='say \"hi\"' c='it's'])"},
        {"<a b='<&gt;'/>", "<Main>(a[b='<>'])"},
        {"<a>x<b/></a>", "<Main>(a{x}(b))"},
        {"<a><b/>y</a>", "<Main>(a{y}(b))"},
        {"<a/>top<b/>", "<Main>{top}(a b)"},
        {"<ns:a-1.b_c/>", "<Main>(ns:a-1.b_c)"},
        // Markup that adds nothing to the tree.
        {"<?xml version=\"1.0.5\" encoding='UTF-8'?><a/>", "<Main>(a)"},
        {"<?xml-stylesheet href='x'?><?p!?><a/>", "<Main>(a)"},
        {"<!DOCTYPE r [ <!ENTITY e 'v'> [x] ]><r/>", "<Main>(r)"},
        {"<!DOCTYPE r SYSTEM \"r>.dtd\"><r/>", "<Main>(r)"},
        {"<!----><!--a--><!-- a -- b --><a/>", "<Main>(a)"},
        {"<!---><a/>-->", "<Main>"},
        {"<a><!--c--><b/><?p?></a>", "<Main>(a(b))"},
        // Data and values.
        {"<a>  one \r\n\t two  </a>", "<Main>(a{one two})"},
        {"<e b='  x  y  '/>", "<Main>(e[b=' x y'])"},
        {"<e b='   '/>", "<Main>(e[b=''])"},
        {"<a>&#65;&#x41;&#x0041;</a>", "<Main>(a{AAA})"},
        {"<a>&#65x;|&#65601;</a>", "<Main>(a{A|A})"},
        {"<a>B&#X41;C</a>", "<Main>(a{B})"},
        {"<a>&lt;&gt;&amp;&apos;&quot;</a>", "<Main>(a{<>&'\"})"},
        {"<a>x&#32;&#32;y &#32; z</a>", "<Main>(a{x  y  z})"},
        {"<a>x <![CDATA[ y ]]> z</a>", "<Main>(a{x  y z})"},
        {"<a><![CDATA[<b>&amp;</b>]]></a>", "<Main>(a{<b>&amp;</b>})"},
        {"<a><![CDATA[]]></a>", "<Main>(a)"},
        {"<a>1<![CDATA[2]]>3</a>", "<Main>(a{123})"},
        {"<a b='x&#10;y'/>", "<Main>(a[b='x\ny'])"},
        {"<a b='1 > 0'/>", "<Main>(a[b='1 > 0'])"},
    };
    for (const Parsed& c : cases)
        ForEachWidth(c.text, [&](const char* width, const CXMLDocTestAccess::Outcome& out,
                                 CXMLDoc& doc) {
            EXPECT_TRUE(out.parsed) << width << ": " << c.text << " code "
                                    << static_cast<unsigned int>(out.code) << " at " << out.offset;
            EXPECT_EQ(Tree(doc.GetContent()), c.tree) << width << ": " << c.text;
        });
}

using ParseError = CXMLDocTestAccess::ParseError;

struct Failure {
    const char* text;
    ParseError code;
    std::ptrdiff_t offset;  // units from the start of the text
};

TEST(BlockParser, RecordsTheErrorAndItsPosition) {
    const Failure cases[] = {
        {"<a>", ParseError::EndOfFile, 3},
        {"<!--a", ParseError::OpenComment, 1},
        {"<!--->", ParseError::OpenComment, 1},
        {"<a b='1/>", ParseError::OpenString, 5},
        {"<!DOCTYPE r [ <!ENTITY e 'v'> <r/>", ParseError::OpenEnclosure, 12},
        {"<!DOCTYPE r [[]>", ParseError::OpenEnclosure, 12},
        {"<?xml version='1.0'>", ParseError::InvalidTag, 18},
        {"<?x>", ParseError::InvalidTag, 2},
        {"<a b='1' b='2'/>", ParseError::BadAttribute, 10},
        {"<a b />", ParseError::BadAttribute, 4},
        {"<a>a & b</a>", ParseError::BadEscape, 5},
        {"<a>&#65</a>", ParseError::BadEscape, 3},
        {"<a b='&'/>", ParseError::BadEscape, 6},
        {"<a>&nbsp;</a>", ParseError::ExternalReplacement, 3},
        {"<a>&amp</a>;", ParseError::ExternalReplacement, 3},
        {"<a><![CDATA[x</a>", ParseError::OpenCDataSection, 3},
        {"<a>x", ParseError::BadDataTerminator, 4},
        {"<a/>top", ParseError::BadDataTerminator, 7},
        {"<a b='x' c='&#65;'", ParseError::OpenString, 11},
        {"<a><b/>", ParseError::NestingError, 0},
        {"<a></a/>", ParseError::NestingError, 3},
        {"<a></>", ParseError::NestingError, 3},
        {"<a>x</a", ParseError::NestingError, 4},
        {"<?xml encoding='UTF-8' version='1.0'?><a/>", ParseError::VersionNot10, 2},
        {"<?xml version='2.0'?><a/>", ParseError::VersionNot10, 2},
        {"<a>x</a >", ParseError::BadTerminationTag, 4},
        {"<a></b>", ParseError::BadTerminationTag, 3},
        {"<a><b></a></b>", ParseError::BadTerminationTag, 6},
        {"<a>x<b/>y</a>", ParseError::MixedContent, 8},
        {"<a>x<!--c-->y</a>", ParseError::MixedContent, 12},
        {"<a>x<![CDATA[y]]><b/><![CDATA[z]]></a>", ParseError::MixedContent, 21},
        {"<a>&#0;</a>", ParseError::MixedContent, 3},
        {"<a b/>", ParseError::IllegalCharacter, 4},
        {"<a 1b='x'/>", ParseError::IllegalCharacter, 3},
        {"<1/>", ParseError::IllegalCharacter, 1},
        {"< a/>", ParseError::IllegalCharacter, 1},
        {"<a%/>", ParseError::IllegalCharacter, 2},
        {"<", ParseError::IllegalCharacter, 1},
        // No record of its own: what stands is reported (nothing here).
        {"</a>", ParseError::Undefined, -1},
        {"<a/></a>", ParseError::Undefined, -1},
    };
    for (const Failure& c : cases)
        ForEachWidth(c.text,
                     [&](const char* width, const CXMLDocTestAccess::Outcome& out, CXMLDoc& doc) {
                         EXPECT_FALSE(out.parsed) << width << ": " << c.text;
                         EXPECT_EQ(out.code, c.code) << width << ": " << c.text;
                         EXPECT_EQ(out.offset, c.offset) << width << ": " << c.text;
                         EXPECT_FALSE(doc.GetContent()) << width << ": " << c.text;
                     });
}

// Where a block is expected, "</>" reads as an empty-element tag with an
// empty name: the node factory refuses the name with its assumption report
// and the parent refuses the missing node. (Inside an element it is a broken
// end tag, code 11, as the table above has it.)
// Past a few attributes the duplicate test goes through a set of the tag's
// names; it must stay exact for every position of the first occurrence.
TEST(BlockParser, DuplicateAttributesAmongManyAreRefused) {
    auto tag = [](int count, int duplicate) {
        std::string text = "<a";
        for (int i = 0; i < count; ++i) text += " n" + std::to_string(i) + "='v'";
        const std::size_t at = text.size() + 1;
        if (duplicate >= 0) text += " n" + std::to_string(duplicate) + "='w'";
        return std::make_pair(text + "/><b n0='x' n1='y'/>", at);
    };
    for (int count : {15, 16, 17, 40, 3000}) {
        for (int duplicate : {-1, 0, 15, 16, count - 1}) {
            const auto [text, at] = tag(count, duplicate);
            ForEachWidth(
                text, [&](const char* width, const CXMLDocTestAccess::Outcome& out, CXMLDoc& doc) {
                    SCOPED_TRACE(std::string(width) + " count " + std::to_string(count) +
                                 " duplicate " + std::to_string(duplicate));
                    if (duplicate < 0 || duplicate >= count) {
                        ASSERT_TRUE(out.parsed);
                        EXPECT_EQ(doc.GetContentElement().GetNAttributes(),
                                  static_cast<unsigned int>(duplicate < 0 ? count : count + 1));
                    } else {
                        EXPECT_FALSE(out.parsed);
                        EXPECT_EQ(out.code, ParseError::BadAttribute);
                        EXPECT_EQ(out.offset, static_cast<std::ptrdiff_t>(
                                                  at + 1 + std::to_string(duplicate).size()));
                    }
                });
        }
    }
}

TEST(BlockParser, AnEmptyTagNameIsRefused) {
    tqtest::Capture capture;
    ForEachWidth("<a/></>",
                 [&](const char* width, const CXMLDocTestAccess::Outcome& out, CXMLDoc&) {
                     EXPECT_EQ(out.code, ParseError::MixedContent) << width;
                     EXPECT_EQ(out.offset, 4) << width;
                 });
    ASSERT_EQ(tqtest::Capture::Reports().size(), 3u);
    for (const auto& report : tqtest::Capture::Reports()) EXPECT_EQ(report.expression, "pName");
}

TEST(BlockParser, TextThatIsNoMarkupIsNotParsed) {
    for (const char* text : {"", "   ", "x<a/>", "\xEF\xBB\xBF<a/>"})
        ForEachWidth(text,
                     [&](const char* width, const CXMLDocTestAccess::Outcome& out, CXMLDoc& doc) {
                         EXPECT_FALSE(out.parsed) << width << ": " << text;
                         EXPECT_EQ(out.offset, -1) << width << ": " << text;
                         EXPECT_FALSE(doc.GetContent()) << width << ": " << text;
                     });
}

}  // namespace
}  // namespace tqcore
