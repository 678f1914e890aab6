// The block parser through all three scanners: the tree it builds or the
// error code and position it records, and what differs above ASCII.
#include <gtest/gtest.h>

#include <regex>

#include "parser_test_support.h"
#include "support/corpus_list.h"

namespace tqcore::parsertest {
namespace {

TEST(BlockParser, TreeOrErrorRecordInEveryWidth) {
    const struct {
        const char* text;
        std::string outcome;
    } cases[] = {
        {"<a/><b/>", "<Main>(a b)"},
        {" \r\n\t<a>x</a> \n", "<Main>(a{x})"},
        {"<a b='1'c=\"2\">t</a>", "<Main>(a[b='1' c='2']{t})"},
        {"<a  b = '1'\n/>", "<Main>(a[b='1'])"},
        {"<a b='<&gt;'/>", "<Main>(a[b='<>'])"},
        {"<a>x<b/></a>", "<Main>(a{x}(b))"},
        {"<a><b/>y</a>", "<Main>(a{y}(b))"},
        {"<a/>top<b/>", "<Main>{top}(a b)"},
        {"<ns:a-1.b_c/>", "<Main>(ns:a-1.b_c)"},
        // Markup that adds nothing to the tree.
        {"<?xml version=\"1.0.5\" encoding='UTF-8'?><a/>", "<Main>(a)"},
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
        {"<a><![CDATA[<b>]&amp;]]</b>]]></a>", "<Main>(a{<b>]&amp;]]</b>})"},
        {"<a><![CDATA[]]></a>", "<Main>(a)"},
        {"<![CDATA[]]> x<a/>", "<Main>{ x}(a)"},  // the unit before the text is no space
        // Failures, at the offset in units from the start of the text.
        {"<a>", Failed(ParseError::EndOfFile, 3)},
        {"<!--a", Failed(ParseError::OpenComment, 1)},
        {"<!--a->", Failed(ParseError::OpenComment, 1)},
        {"<!--->", Failed(ParseError::OpenComment, 1)},
        {"<a b='1/>", Failed(ParseError::OpenString, 5)},
        {"<!DOCTYPE r [[]>", Failed(ParseError::OpenEnclosure, 12)},
        {"<?xml version='1.0'>", Failed(ParseError::InvalidTag, 18)},
        {"<?x>", Failed(ParseError::InvalidTag, 2)},
        {"<a b />", Failed(ParseError::BadAttribute, 4)},
        {"<a>a & b</a>", Failed(ParseError::BadEscape, 5)},
        {"<a>&#65</a>", Failed(ParseError::BadEscape, 3)},
        {"<a>&nbsp;</a>", Failed(ParseError::ExternalReplacement, 3)},
        {"<a>&amp</a>;", Failed(ParseError::ExternalReplacement, 3)},
        {"<a><![CDATA[x</a>", Failed(ParseError::OpenCDataSection, 3)},
        {"<a>x", Failed(ParseError::BadDataTerminator, 4)},
        {"<a/>top", Failed(ParseError::BadDataTerminator, 7)},
        {"<a><b/>", Failed(ParseError::NestingError, 0)},
        {"<a></>", Failed(ParseError::NestingError, 3)},
        {"<a>x</a", Failed(ParseError::NestingError, 4)},
        {"<?xml encoding='UTF-8' version='1.0'?><a/>", Failed(ParseError::VersionNot10, 2)},
        {"<a>x</a >", Failed(ParseError::BadTerminationTag, 4)},
        {"<a></b>", Failed(ParseError::BadTerminationTag, 3)},
        // An open element's name is matched up to its tag's ">" or white space.
        {"<ab></a>", Failed(ParseError::BadTerminationTag, 4)},
        {"<ab x='1'></a>", Failed(ParseError::BadTerminationTag, 10)},
        {"<a x='1'></ab>", Failed(ParseError::BadTerminationTag, 9)},
        {"<a\tx='1'>y<b/></a>", "<Main>(a[x='1']{y}(b))"},
        {"<a>x<b/>y</a>", Failed(ParseError::MixedContent, 8)},
        {"<a>x<![CDATA[y]]><b/><![CDATA[z]]></a>", Failed(ParseError::MixedContent, 21)},
        {"<a>&#0;</a>", Failed(ParseError::MixedContent, 3)},
        {"<a v='x&#0;y'>x&#x0;y</a>", "<Main>(a[v='x']{x})"},  // a decoded zero ends a piece
        {"<a b/>", Failed(ParseError::IllegalCharacter, 4)},
        {"<a 1b='x'/>", Failed(ParseError::IllegalCharacter, 3)},
        {"<1/>", Failed(ParseError::IllegalCharacter, 1)},
        {"<", Failed(ParseError::IllegalCharacter, 1)},
        // No record of its own, or no markup: nothing stands.
        {"</a>", Failed(ParseError::Undefined, -1)},
        {"<a/></a>", Failed(ParseError::Undefined, -1)},
        {"", Failed(ParseError::Undefined, -1)},
        {"x<a/>", Failed(ParseError::Undefined, -1)},
        {"\xEF\xBB\xBF<a/>", Failed(ParseError::Undefined, -1)},
        // A start tag is read in one pass: one that does not close reports that before
        // anything read inside it; ">" or ";" in a value neither closes the tag nor ends it.
        {"<a b='1' c", Failed(ParseError::OpenString, 5)},  // the last quote entered
        {"<a", Failed(ParseError::Undefined, -1)},          // the record before the tag
        {"<r><a x", Failed(ParseError::NestingError, 0)},
        {"<a b=\"x&y;", Failed(ParseError::OpenString, 5)},
        {"<a b=\"c>d\" e=\"f", Failed(ParseError::OpenString, 13)},
        {"<r><a b=\"1\" c=\"&q;\" d=\"x/></r>", Failed(ParseError::OpenString, 22)},
        {"<a b\"c>d\" e=\"f\"/>", Failed(ParseError::IllegalCharacter, 4)},
        {"<a b='1'/ >", Failed(ParseError::IllegalCharacter, 8)},
        {"<a b=\"&x\" c=\";\"/>", Failed(ParseError::ExternalReplacement, 6)},
        {"<a b=\"&x\">;", Failed(ParseError::BadEscape, 6)},
        {"<a b=\"<![CDATA[ \" ]]>\"/>", Failed(ParseError::OpenCDataSection, 6)},
        {"</>", Failed(ParseError::MixedContent, 0)},
        {"<!DOCTYPE a/>", Failed(ParseError::IllegalCharacter, 1)},
        {"<a b=\"&#65\" c=\";\"/>", "<Main>(a[b='A'])"},
        {"<a b=\"<![CDATA[ x>]]>\"/>", "<Main>(a[b=' x>'])"},
        {"<a b='x/>'/><c d=\"'>\"></c>", "<Main>(a[b='x/>'] c[d='\'>'])"},
    };
    for (const auto& c : cases) EXPECT_EQ(InEveryWidth(c.text), c.outcome) << c.text;
}

// The parse's cache tells short keys apart by their ends and length: pieces
// differing in one unit anywhere, at every length around those bounds, keep
// their own text, also when met again.
TEST(BlockParser, PiecesThatDifferInOneUnitStayApart) {
    std::string text = "<r>", expect = "<Main>(r(";
    for (int pass = 0; pass < 2; ++pass)
        for (std::size_t length = 1; length <= 20; ++length)
            for (std::size_t at = 0; at < length; ++at) {
                std::string name(length, 'a');
                name[at] = 'b';
                text += "<" + name + " v='" + name + "'/>";
                expect += (expect.back() == '(' ? "" : " ") + name + "[v='" + name + "']";
            }
    text += "</r>";
    expect += "))";
    EXPECT_EQ(InEveryWidth(text), expect);
}

// Runs after references are copied down over the room these freed, from a
// few units to whole blocks back: every run must arrive as it stood.
TEST(BlockParser, RunsAfterReferencesAreCopiedWhole) {
    const std::string tail = "ab cd  ef\ngh i\x01j\tkl mnopqrstuvwxyz0123456789 .";  // \x01 mid-run
    const std::regex white("[ \n\t]+");  // a run of it becomes one space
    for (std::size_t references = 0; references <= 9; ++references)
        for (std::size_t cut = 0; cut <= tail.size(); ++cut) {
            std::string text, expect(references, '<');
            for (std::size_t i = 0; i < references; ++i) text += "&lt;";
            for (int copy = 0; copy < 3; ++copy) {
                text += tail.substr(0, cut) + "&amp;";
                expect += std::regex_replace(tail.substr(0, cut), white, " ") + "&";
            }
            EXPECT_EQ(InEveryWidth("<a v='" + text + "'>" + text + "</a>"),
                      "<Main>(a[v='" + expect + "']{" + expect + "})")
                << references << " " << cut;
        }
}

// Past a few attributes the duplicate test goes through a set of the tag's
// names; it must stay exact for every position of the first occurrence.
TEST(BlockParser, DuplicateAttributesAmongManyAreRefused) {
    for (int count : {15, 16, 17, 40, 3000})
        for (int duplicate : {-1, 0, 15, 16, count - 1}) {
            std::string text = "<a", tree = "<Main>(a[";
            for (int i = 0; i < count; ++i) {
                text += " n" + std::to_string(i) + "='v'";
                tree += (i ? " n" : "n") + std::to_string(i) + "='v'";
            }
            const std::string again = "n" + std::to_string(duplicate);
            const auto at = static_cast<std::ptrdiff_t>(text.size() + 1 + again.size());
            if (duplicate >= 0) text += " " + again + "='w'";
            if (duplicate >= count) tree += " " + again + "='w'";
            const bool refused = duplicate >= 0 && duplicate < count;
            EXPECT_EQ(InEveryWidth(text + "/><b n0='x' n1='y'/>"),
                      refused ? Failed(ParseError::BadAttribute, at) : tree + "] b[n0='x' n1='y'])")
                << count << " " << duplicate;
        }
}

// Depth costs heap, not stack: a million nested elements parse in every
// width, and fail with the same records as shallow ones.
TEST(DeepNesting, AMillionLevelsParseOrFailAsFewDo) {
    constexpr std::size_t kDepth = 1000000;
    const auto nested = [](const char* inner) {
        std::string text;
        for (std::size_t i = 0; i < kDepth; ++i) text += "<a>";
        text += inner;
        for (std::size_t i = 0; i < kDepth; ++i) text += "</a>";
        return text;
    };
    const std::string text = nested("<b/>");
    for (Entry entry : {Entry::Ansi, Entry::Utf8, Entry::Wide}) {
        CXMLDoc doc;
        ASSERT_EQ(Open(doc, entry, entry == Entry::Wide ? Utf16Bytes(text) : text), "");
        CXMLObject node = doc.GetContent();  // down the first-child chain, without recursion
        std::size_t depth = 0;
        unsigned int count = 0;
        for (const CXMLObject* c; (c = CXMLObjectTestAccess::Children(node, count)) && count == 1;
             ++depth)
            node = *c;
        EXPECT_EQ(depth, kDepth + 1);
    }
    std::string broken = nested("<b x='1'/>");
    broken.resize(broken.size() - 4);  // the outermost end tag is missing
    // The record standing is the last finished child's attribute.
    EXPECT_EQ(Outcome(Ansi(broken)), Failed(ParseError::BadAttribute, kDepth * 3 + 4));
    EXPECT_EQ(Outcome(Ansi(nested("</b>"))), Failed(ParseError::BadTerminationTag, kDepth * 3));
}

// Data and values above ASCII: ANSI text goes through the ANSI code page, and
// a reference becomes one UTF-16 unit, written in the text's own encoding:
// ANSI has no place for most of them, UTF-8 none for a lone surrogate.
TEST(Widths, TextAboveAscii) {
    EXPECT_EQ(Outcome(Ansi("<a b='\xE9'>\x80 \xE9</a>")),
              "<Main>(a[b='\xC3\xA9']{\xE2\x82\xAC \xC3\xA9})");
    EXPECT_EQ(InEveryWidth("<a>&#233;&#8364;&#x20AC;</a>"),
              "<Main>(a{\xC3\xA9\xE2\x82\xAC\xE2\x82\xAC})");
    EXPECT_EQ(Outcome(Ansi("<a b='&#x4E2D;'>x&#x800;y</a>")), "<Main>(a[b='?']{x?y})");
    EXPECT_EQ(Outcome(Bytes("<a>x&#xD800;y</a>")), "<Main>(a{x\xEF\xBF\xBDy})");
}

// Well-formed UTF-8 is widened by the parser, the rest (up to the next ASCII
// byte) by the converter: either way the tree is that of the text converted
// to UTF-16. References are written at both ends of each UTF-8 length.
TEST(Widths, Utf8GivesTheTreeOfTheConvertedDocument) {
    const std::string longRun =
        std::string(70, 'a') + "\xC3\xA9\xFF\xE2\x82\xAC" + std::string(20, 'b') + "\xF0\x9F";
    const std::string pieces[] = {
        "&#x7F;&#x80;&#x7FF;&#x800;&#xD7FF;&#xE000;&#xFFFF;&#x4E2D;",
        "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xEF\xBF\xBF\xC2\x80\xDF\xBF",
        "\xC3",
        "a\xC0\xAFz",
        "\xE0\x80\x80",
        "\xE0\xA0\x80\xED\x9F\xBF",
        "\xED\xA0\x80",
        "\xF4\x90\x80\x80\xF4\x8F\xBF\xBF",
        "\x80\x80 ok",
        "\xE2\x82",
        "\xF0\x9F\x98",
        "\xC3\xA9\xC3",
        "\xF5\x80 \xFF\xFE",
        longRun};
    for (const std::string& piece : pieces) {
        const std::string text = "<a v='" + piece + "'>" + piece + "</a>";
        EXPECT_EQ(Outcome(Bytes(text)), Outcome(Wide(tqtest::Utf16Document(text).substr(1))))
            << piece;
    }
}

// Under a shortage of memory from the `allowed`th allocation on.
CXMLDocTestAccess::Outcome ShortOfMemory(const std::string& text, std::int64_t allowed) {
    CXMLDoc doc;
    SetAllocationFailureCountdown(allowed);
    const CXMLDocTestAccess::Outcome out = CXMLDocTestAccess::Parse(doc, Bytes(text));
    SetAllocationFailureCountdown(-1);
    return out;
}

// Without attributes, whatever finds no memory once reading has begun (a
// name, a body, a list, a text) reports mixed content where its node is:
// never the record an enclosing tag left standing.
TEST(BlockParser, ANodeWithoutMemoryReportsMixedContent) {
    const std::string text = "<r><a>x</a><b/><c></c><d><e/></d></r>";
    for (std::int64_t allowed = 0;; ++allowed) {
        ASSERT_LT(allowed, 1000);
        const CXMLDocTestAccess::Outcome out = ShortOfMemory(text, allowed);
        if (out.parsed) break;
        if (out.offset == -1) continue;  // the parse's own working memory, before any tag
        EXPECT_EQ(out.code, ParseError::MixedContent) << allowed << ": " << out.offset;
        EXPECT_TRUE(out.offset >= 0 && static_cast<std::size_t>(out.offset) < text.size() &&
                    (text[out.offset] == '<' || text[out.offset] == 'x'))
            << allowed << ": " << out.offset;
    }
}

// Short texts are pooled in batches, after the parse has gone past them; one
// that finds no memory is still the failure reported: a document broken after
// its last element reports its own error exactly when the whole one parses.
TEST(BlockParser, ATextPooledLateStillFailsBeforeALaterError) {
    // More texts than one batch holds, so that batches are also pooled midway.
    std::string whole = "<r a='v'>";
    for (int i = 0; i < 40; ++i)
        whole += "<a b='" + std::to_string(i) + "'>x" + std::to_string(i) + "</a>";
    whole += "</r>";
    const std::string lateError = Failed(ParseError::IllegalCharacter, whole.size() + 1);
    for (std::int64_t allowed = 0;; ++allowed) {
        ASSERT_LT(allowed, 1000);
        const bool parsed = ShortOfMemory(whole, allowed).parsed;
        const CXMLDocTestAccess::Outcome broken = ShortOfMemory(whole + "<1", allowed);
        EXPECT_EQ(Failed(broken.code, broken.offset) == lateError, parsed) << allowed;
        if (parsed) break;
    }
}

// Under any shortage of memory, a start tag that does not close reports that,
// or a failure before it: nothing read inside it is pooled or reported, also
// when its texts fill a batch that is pooled midway.
TEST(BlockParser, AnUnclosedTagReportsNothingReadInsideIt) {
    std::string text = "<r><a b='x'>y</a><t";
    const std::ptrdiff_t tag = static_cast<std::ptrdiff_t>(text.size()) - 2;
    for (int i = 0; i < 40; ++i) text += " v" + std::to_string(i) + "='" + std::to_string(i) + "'";
    const std::ptrdiff_t quote = static_cast<std::ptrdiff_t>(text.size()) + 3;
    text += " w='open";
    for (std::int64_t allowed = 0; allowed < 400; ++allowed) {
        const CXMLDocTestAccess::Outcome out = ShortOfMemory(text, allowed);
        ASSERT_FALSE(out.parsed);
        const bool tagError = out.code == ParseError::OpenString && out.offset == quote;
        EXPECT_TRUE(tagError || (out.offset < tag && allowed < 399))  // 399: all it needs
            << allowed << ": " << Failed(out.code, out.offset);
    }
}

}  // namespace
}  // namespace tqcore::parsertest
