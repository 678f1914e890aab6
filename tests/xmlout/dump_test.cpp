// The tree dump on the log: a line per tag, each after a carriage return;
// and trees far deeper than any stack, written and dumped.
#include <gtest/gtest.h>

#include "xmlout_test_support.h"

namespace xmlout_test {
namespace {

// The dump's text, every message of it on the selectors asked for.
std::u16string DumpText(const CXMLObject& node, unsigned int depth) {
    Capture capture(false);
    node.Dump(7, 9, depth);
    for (const auto& message : Capture::Log())
        EXPECT_TRUE(message.selector1 == 7 && message.selector2 == 9);
    return Capture::AllLog();
}

TEST(Dump, LinesByNode) {
    CXMLObject a = Node(u"a");
    a.AddAttribute(PS(u"x"), PS(u"1"));
    a.Add(DataNode(u"b", u"hi"));
    CXMLObject both = Node(u"p");
    both.Add(Node(u"hidden"));
    both.Add(W(u"text"));
    CXMLObject raw = DataNode(u"r", u"<&\"'>");
    raw.AddAttribute(PS(u"v"), PS(u"a<b&\"c\""));
    const std::u16string widest = u"\r" + std::u16string(262, u' ');  // the prefix stops there
    const struct {
        const char* what;
        CXMLObject node;
        unsigned int depth;
        std::u16string text;
    } cases[] = {
        {"tree", a, 0,
         u"\r<a x=\"1\"> : CXML_TYPE_ELEMENT\r  <b> : CXML_TYPE_DATA\r    hi\r  </b>\r</a>"},
        {"empty handle", CXMLObject(), 0, u""},
        {"data and children", both, 0, u"\r<p> : CXML_TYPE_PROCESS\r  text\r</p>"},
        {"unescaped", raw, 0, u"\r<r v=\"a<b&\"c\"\"> : CXML_TYPE_DATA\r  <&\"'>\r</r>"},
        {"very deep", Node(u"deep"), 1000,
         widest + u"<deep> : CXML_TYPE_EMPTY" + widest + u"</deep>"},
    };
    for (const auto& c : cases) EXPECT_EQ(DumpText(c.node, c.depth), c.text) << c.what;
}

// Trees far deeper than any stack: writing and dumping them.
constexpr unsigned int kDepth = 1000000;

const CXMLObject& DeepChain() {
    static const CXMLObject chain = Chain(kDepth);
    return chain;
}

TEST(DeepTree, MillionLevelsGoToAMemorySink) {
    CXMLMemOut sink;
    ASSERT_TRUE(sink.Open());
    ASSERT_TRUE(sink.Write(DeepChain()));
    ASSERT_TRUE(sink.Close(false));
    // "<n>" per level but the last, "<n>x</n>", then "</n>" per level but the last.
    EXPECT_EQ(sink.GetLen(), 3ull * (kDepth - 1) + 8 + 4ull * (kDepth - 1));
    const std::u16string text = U(static_cast<const unsigned short*>(sink));
    EXPECT_EQ(text.substr(0, 9), u"<n><n><n>");
    EXPECT_EQ(text.substr(3 * (kDepth - 1), 12), u"<n>x</n></n>");
}

TEST(DeepTree, MillionLevelsAreDumped) {
    // Counted, not kept: three million messages.
    static std::uint64_t count = 0;
    static std::u16string last;
    const LogSink previous = SetLogSink([](unsigned int, unsigned int, const unsigned short* text) {
        ++count;
        last = U(text);
    });
    DeepChain().Dump(3, 4, 0);
    SetLogSink(previous);
    // Per level an opening and a closing line, plus one data line; the
    // opening lines end with the type as a message of its own.
    EXPECT_EQ(count, 3ull * kDepth + 1);
    EXPECT_EQ(last, u"\r</n>");
}

}  // namespace
}  // namespace xmlout_test
