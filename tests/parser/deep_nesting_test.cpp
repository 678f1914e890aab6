// Depth costs heap, not stack: a million nested elements parse, and fail with
// the same records as shallow ones.
#include <gtest/gtest.h>

#include <string>

#include "parser_test_support.h"

namespace tqcore {
namespace {

constexpr std::size_t kDepth = 1000000;

std::string Nested(std::size_t depth, const char* inner) {
    std::string text;
    text.reserve(depth * 7 + 16);
    for (std::size_t i = 0; i < depth; ++i) text += "<a>";
    text += inner;
    for (std::size_t i = 0; i < depth; ++i) text += "</a>";
    return text;
}

// Depth of the first-child chain, walked without recursion.
std::size_t ChainDepth(const CXMLObject& root) {
    std::size_t depth = 0;
    CXMLObject node = root;
    for (;;) {
        unsigned int count = 0;
        const CXMLObject* children = CXMLObjectTestAccess::Children(node, count);
        if (!children || count != 1) return depth;
        node = children[0];
        ++depth;
    }
}

TEST(DeepNesting, AMillionLevelsParseInEveryWidth) {
    const std::string text = Nested(kDepth, "<b/>");
    const std::u16string wide = parsertest::U16(text);
    CXMLDoc ansi, utf8, utf16;
    ASSERT_TRUE(ansi.OpenDocText(text.c_str(), CXML_REPORT_SILENT));
    ASSERT_TRUE(
        utf8.OpenDocText(reinterpret_cast<const unsigned char*>(text.c_str()), CXML_REPORT_SILENT));
    ASSERT_TRUE(utf16.OpenDocText(wide.c_str(), CXML_REPORT_SILENT));
    for (CXMLDoc* doc : {&ansi, &utf8, &utf16})
        EXPECT_EQ(ChainDepth(doc->GetContent()), kDepth + 1);
}

TEST(DeepNesting, AFailureDeepInsideKeepsItsRecord) {
    std::string text = Nested(kDepth, "<b x='1'/>");
    text.resize(text.size() - 4);  // the outermost end tag is missing
    CXMLDoc doc;
    const auto out = CXMLDocTestAccess::Parse(doc, parsertest::Ansi(text));
    EXPECT_FALSE(out.parsed);
    EXPECT_EQ(out.code,
              CXMLDocTestAccess::ParseError::BadAttribute);  // the last finished child's attribute
    EXPECT_EQ(out.offset, static_cast<std::ptrdiff_t>(kDepth * 3 + 4));

    const auto mismatch = CXMLDocTestAccess::Parse(doc, parsertest::Ansi(Nested(kDepth, "</b>")));
    EXPECT_EQ(mismatch.code, CXMLDocTestAccess::ParseError::BadTerminationTag);
    EXPECT_EQ(mismatch.offset, static_cast<std::ptrdiff_t>(kDepth * 3));
}

}  // namespace
}  // namespace tqcore
