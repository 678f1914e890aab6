// The block parser on ASCII documents, run through all three scanners: the
// tree it builds, or the error code and position it records.
#include <gtest/gtest.h>

#include "parser_test_support.h"
#include "tqcore/diag.h"

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
        {"<a></a>", "<Main>(a)"},
        // Data and values.
        {"<a>  one \r\n\t two  </a>", "<Main>(a{one two})"},
        {"<e b='  x  y  '/>", "<Main>(e[b=' x y'])"},
        {"<e b='   '/>", "<Main>(e[b=''])"},
        {"<e b=''/>", "<Main>(e[b=''])"},
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
        ForEachWidth(
            c.text, [&](const char* width, const CXMLDocTestAccess::Outcome& out, CXMLDoc& doc) {
                EXPECT_TRUE(out.parsed)
                    << width << ": " << c.text << " code " << out.code << " at " << out.offset;
                EXPECT_EQ(Tree(doc.GetContent()), c.tree) << width << ": " << c.text;
            });
}

struct Failure {
    const char* text;
    unsigned int code;
    std::ptrdiff_t offset;  // units from the start of the text
};

TEST(BlockParser, RecordsTheErrorAndItsPosition) {
    const Failure cases[] = {
        {"<a>", 1, 3},
        {"<a>  \r\n", 1, 3},
        {"<!--a", 2, 1},
        {"<!--->", 2, 1},
        {"<a b='1/>", 3, 5},
        {"<!DOCTYPE r [ <!ENTITY e 'v'> <r/>", 4, 12},
        {"<!DOCTYPE r [[]>", 4, 12},
        {"<?xml version='1.0'>", 5, 18},
        {"<?x>", 5, 2},
        {"<a b='1' b='2'/>", 6, 10},
        {"<a b />", 6, 4},
        {"<a b=1/>", 6, 4},
        {"<a><b x='1'/>", 6, 7},
        {"<a>a & b</a>", 7, 5},
        {"<a>&#65</a>", 7, 3},
        {"<a b='&'/>", 7, 6},
        {"<a>&nbsp;</a>", 8, 3},
        {"<a>&amp</a>;", 8, 3},
        {"<a><![CDATA[x</a>", 9, 3},
        {"<a>x", 10, 4},
        {"<a/>top", 10, 7},
        {"<a b='x' c='&#65;'", 3, 11},
        {"<a><b/>", 11, 0},
        {"<a></a/>", 11, 3},
        {"<a></>", 11, 3},
        {"<a>x</a", 11, 4},
        {"<?xml encoding='UTF-8' version='1.0'?><a/>", 12, 2},
        {"<?xml version='2.0'?><a/>", 12, 2},
        {"<?xml?>", 12, 2},
        {"<a>x</a >", 13, 4},
        {"<a></b>", 13, 3},
        {"<a><b></a></b>", 13, 6},
        {"<a>x<b/>y</a>", 14, 8},
        {"<a>x<!--c-->y</a>", 14, 12},
        {"<a>x<![CDATA[y]]><b/><![CDATA[z]]></a>", 14, 21},
        {"<a>&#0;</a>", 14, 3},
        {"<a b/>", 15, 4},
        {"<a 1b='x'/>", 15, 3},
        {"<1/>", 15, 1},
        {"< a/>", 15, 1},
        {"<a%/>", 15, 2},
        {"<", 15, 1},
        // No record of its own: what stands is reported (nothing here).
        {"</a>", 0, -1},
        {"<a/></a>", 0, -1},
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
TEST(BlockParser, AnEmptyTagNameIsRefused) {
    static std::vector<std::string> reports;
    reports.clear();
    const DetailedMessageBoxHook old = SetDetailedMessageBoxHook(
        [](const char* expression, const char*, const char*, unsigned int, const char*) {
            reports.push_back(expression);
            return false;
        });
    ForEachWidth("<a/></>",
                 [&](const char* width, const CXMLDocTestAccess::Outcome& out, CXMLDoc&) {
                     EXPECT_EQ(out.code, 14u) << width;
                     EXPECT_EQ(out.offset, 4) << width;
                 });
    SetDetailedMessageBoxHook(old);
    EXPECT_EQ(reports, std::vector<std::string>(3, "pName"));
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
