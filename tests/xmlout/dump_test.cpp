// The tree dump on the log.
#include <gtest/gtest.h>

#include "xmlout_test_support.h"

namespace xmlout_test {
namespace {

// The dump's lines: the log text split at each carriage return.
std::vector<std::u16string> DumpLines(const CXMLObject& node, unsigned int depth) {
    Capture capture(false);
    node.Dump(7, 9, depth);
    std::vector<std::u16string> lines;
    for (const auto& message : Capture::Log()) {
        EXPECT_EQ(message.selector1, 7u);
        EXPECT_EQ(message.selector2, 9u);
    }
    const std::u16string all = Capture::AllLog();
    for (std::size_t start = 0; start < all.size();) {
        EXPECT_EQ(all[start], u'\r');
        std::size_t end = all.find(u'\r', start + 1);
        if (end == std::u16string::npos) end = all.size();
        lines.push_back(all.substr(start + 1, end - start - 1));
        start = end;
    }
    return lines;
}

using Lines = std::vector<std::u16string>;

TEST(Dump, LinesByNode) {
    CXMLObject a = Node(u"a");
    a.AddAttribute(PS(u"x"), PS(u"1"));
    a.Add(DataNode(u"b", u"hi"));
    CXMLObject both = Node(u"p");
    both.Add(Node(u"hidden"));
    both.Add(W(u"text"));
    CXMLObject raw = DataNode(u"r", u"<&\"'>");
    raw.AddAttribute(PS(u"v"), PS(u"a<b&\"c\""));
    const std::u16string widest(262, u' ');  // the prefix stops there
    struct Case {
        const char* what;
        CXMLObject node;
        unsigned int depth;
        Lines lines;
    } const cases[] = {
        {"tree",
         a,
         0,
         {u"<a x=\"1\"> : CXML_TYPE_ELEMENT", u"  <b> : CXML_TYPE_DATA", u"    hi", u"  </b>",
          u"</a>"}},
        {"empty handle", CXMLObject(), 0, {}},
        {"no data", Node(u"e"), 0, {u"<e> : CXML_TYPE_EMPTY", u"</e>"}},
        {"data and children", both, 0, {u"<p> : CXML_TYPE_PROCESS", u"  text", u"</p>"}},
        {"unescaped", raw, 0, {u"<r v=\"a<b&\"c\"\"> : CXML_TYPE_DATA", u"  <&\"'>", u"</r>"}},
        {"starting deeper", Node(u"e"), 2, {u"    <e> : CXML_TYPE_EMPTY", u"    </e>"}},
        {"very deep",
         Node(u"deep"),
         1000,
         {widest + u"<deep> : CXML_TYPE_EMPTY", widest + u"</deep>"}},
    };
    for (const Case& c : cases) EXPECT_EQ(DumpLines(c.node, c.depth), c.lines) << c.what;
}

}  // namespace
}  // namespace xmlout_test
