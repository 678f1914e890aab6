// The memory sink and the base sink: state, sizes, reports and indentation.
#include <gtest/gtest.h>

#include <algorithm>

#include "xmlout_test_support.h"

namespace xmlout_test {
namespace {

TEST(MemorySink, ReadsNothingUntilClosedAndOnlyTheLastOpening) {
    CXMLMemOut sink;
    ASSERT_TRUE(sink.Open());
    ASSERT_TRUE(sink.Write(Node(u"dropped")));
    ASSERT_TRUE(sink.Open());
    ASSERT_TRUE(sink.Write(ExampleTree()));
    EXPECT_EQ(static_cast<const unsigned short*>(sink), nullptr);
    EXPECT_EQ(static_cast<const void*>(sink), nullptr);
    EXPECT_EQ(sink.GetLen() + sink.GetSize(), 0u);
    ASSERT_TRUE(sink.Close(false));
    const auto* block = static_cast<const unsigned short*>(static_cast<const void*>(sink));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[0], 0xFEFF);
    EXPECT_EQ(static_cast<const unsigned short*>(sink), block + 1);
    EXPECT_EQ(U(block + 1), kExampleText) << "terminated after the text";
    EXPECT_EQ(sink.GetLen(), kExampleText.size());
    EXPECT_EQ(sink.GetSize(), 2 * kExampleText.size() + 4);
    sink.Free();
    EXPECT_EQ(static_cast<const void*>(sink), nullptr);
    EXPECT_EQ(sink.GetSize(), 0u);
}

TEST(MemorySink, FailedWriteKeepsTheTextUpToTheFailure) {
    Capture capture;
    // A list keeps an empty handle; a node's own adders refuse one.
    CXMLObjectList children;
    children.Add(Node(u"ok"));
    children.Add(CXMLObject());
    children.Add(Node(u"never"));
    CXMLObject root = Node(u"r");
    ASSERT_TRUE(root.Add(children));
    CXMLMemOut sink;
    ASSERT_TRUE(sink.Open());
    EXPECT_FALSE(sink.Write(root));
    EXPECT_EQ(U(static_cast<const unsigned short*>(sink)), u"<r><ok/>") << "cut off where it stood";
    EXPECT_EQ(U(root.GetContent()), u"<r><ok/>");
    ASSERT_EQ(Capture::Reports().size(), 2u);
    EXPECT_EQ(Capture::Reports()[0].expression, "m_pO");
    EXPECT_EQ(Capture::Reports()[0].file, "xmlobj");
}

TEST(MemorySink, GrowthThatFailsIsRecordedThoughWriteSucceeds) {
    const std::u16string text(3000, u'x');
    const CXMLObject node = DataNode(u"d", text.c_str());
    CXMLMemOut sink;
    ASSERT_TRUE(sink.Open());
    {
        xmlobj_test::AllocationFailure noMore(0);
        EXPECT_TRUE(sink.Write(node)) << "the text primitives ignore write results";
    }
    EXPECT_TRUE(sink.WriteFailed());
    ASSERT_TRUE(sink.Close(false));
    EXPECT_TRUE(sink.WriteFailed());
    EXPECT_LT(sink.GetLen(), text.size());
}

// A sink closed without its mark cannot be made through the public
// interface; a derived sink that writes none shows the check and the text
// read from the start of the block.
TEST(SinkReports, AMissingMarkIsReported) {
    struct NoMarkOut : CXMLMemOut {
        bool WritePhys(const unsigned short* text, std::uint64_t count) override {
            const bool mark = count == 1 && text[0] == 0xFEFF;
            return CXMLMemOut::WritePhys(mark ? W(u"?") : text, count);
        }
    };
    Capture capture;
    NoMarkOut sink;
    ASSERT_TRUE(sink.Open());
    ASSERT_TRUE(sink.Close(false));
    EXPECT_EQ(sink.GetSize(), 4u);
    EXPECT_EQ(U(static_cast<const unsigned short*>(sink)), u"?") << "no mark to skip";
    ASSERT_EQ(Capture::Reports().size(), 1u);
    EXPECT_EQ(Capture::Reports()[0].expression, "*m_pMem == 0xFEFF");
    EXPECT_EQ(Capture::Reports()[0].file, "xmlout");
}

TEST(BaseSink, IndentationStopsAt512SpacesAndUnindentStopsAtZero) {
    const unsigned int depth = 600;
    StringOut sink(true);
    ASSERT_TRUE(sink.Open());
    ASSERT_TRUE(sink.Write(Chain(depth)));
    std::size_t widest = 0, lines = 0;
    for (std::size_t start = 1; start < sink.text.size(); ++lines) {
        const std::size_t end = sink.text.find(u"\r\n", start);
        ASSERT_NE(end, std::u16string::npos);
        widest = std::max(widest, sink.text.find_first_not_of(u' ', start) - start);
        start = end + 2;
    }
    EXPECT_EQ(lines, 2 * depth - 1);
    EXPECT_EQ(widest, CXMLOut::kIndentChars);
    sink.Unindent();
    ASSERT_TRUE(sink.Write(Node(u"after")));
    EXPECT_EQ(sink.text.substr(sink.text.size() - 11), u"\n<after/>\r\n")
        << "level 0 after the tree";
}

}  // namespace
}  // namespace xmlout_test
