// The serialiser: tags, escaping, CDATA and failures.
#include <gtest/gtest.h>

#include "xmlout_test_support.h"

namespace xmlout_test {
namespace {

CXMLObject WithAttribute(const char16_t* value) {
    CXMLObject e = Node(u"e");
    e.AddAttribute(PS(u"v"), PS(value));
    return e;
}

TEST(Serialiser, EscapesValuesKeepsAttributeOrderAndChoosesCDATA) {
    CXMLObject ordered = Node(u"name");
    ordered.AddAttribute(PS(u"z"), PS(u"1"));
    ordered.AddAttribute(PS(u"a"), PS(u"2"));
    CXMLObject root = Node(u"<Main>");  // a document's root: only its children are written
    root.Add(Node(u"c"));
    root.Add(ordered);
    struct Case {
        CXMLObject node;
        const char16_t* written;
    } const cases[] = {
        {WithAttribute(u"say \"a&b\" <ok>"), u"<e v=\"say &quot;a&amp;b&quot; &lt;ok&gt;\"/>"},
        {WithAttribute(u"it's"), u"<e v=\"it&apos;s\"/>"},
        {WithAttribute(u"plain %ls text"), u"<e v=\"plain %ls text\"/>"},
        {WithAttribute(u"\x00E9\x4E2D>"), u"<e v=\"\x00E9\x4E2D&gt;\"/>"},
        {WithAttribute(u"a\tb\nc\rd e"),
         u"<e v=\"a\tb\nc\rd e\"/>"},  // no member of the escape set
        {ordered, u"<name z=\"1\" a=\"2\"/>"},
        {root, u"<c/><name z=\"1\" a=\"2\"/>"},
        // Data is written raw, or in CDATA sections with "]]>" split between two.
        {DataNode(u"d", u"a%lsb%d"), u"<d>a%lsb%d</d>"},
        {DataNode(u"d", u"]]>"), u"<d><![CDATA[]]]]><![CDATA[>]]></d>"},
        {DataNode(u"d", u"a]]>b"), u"<d><![CDATA[a]]]]><![CDATA[>b]]></d>"},
        {DataNode(u"d", u"<x>]]>]]>"), u"<d><![CDATA[<x>]]]]><![CDATA[>]]]]><![CDATA[>]]></d>"},
        {DataNode(u"d", u"]]"), u"<d>]]</d>"},
        {DataNode(u"d", u"a\r\nb"), u"<d><![CDATA[a\r\nb]]></d>"},
    };
    for (const Case& c : cases) EXPECT_EQ(MemText(c.node), c.written) << &c - cases;
}

// Values are scanned several units a step, the last step overlapping the one
// before: each markup character at each place of values short and long.
TEST(Serialiser, EscapesMarkupAtEveryPlaceOfAValue) {
    const struct {
        char16_t c;
        const char16_t* entity;
    } marks[] = {
        {u'&', u"&amp;"}, {u'<', u"&lt;"}, {u'>', u"&gt;"}, {u'"', u"&quot;"}, {u'\'', u"&apos;"}};
    for (const auto& mark : marks)
        for (std::size_t length = 1; length <= 20; ++length)
            for (std::size_t at = 0; at < length; ++at) {
                std::u16string value(length, u'x'), escaped;
                value[at] = mark.c;
                if (at + 3 < length) value[at + 3] = u'&';  // a second one after it
                for (char16_t c : value)
                    escaped += c == u'&'     ? u"&amp;"
                               : c == mark.c ? mark.entity
                                             : std::u16string(1, c);
                EXPECT_EQ(MemText(WithAttribute(value.c_str())), u"<e v=\"" + escaped + u"\"/>")
                    << static_cast<char>(mark.c) << " at " << at << " of " << length;
            }
}

TEST(Serialiser, CDATARequiredFollowsTheWhiteSpaceAndMarkupRules) {
    struct Case {
        const char16_t* text;
        bool cdata;
    } const cases[] = {
        {u"", false},    {u"a b", false}, {u"a  b", true}, {u" a", true},        {u"a ", true},
        {u"a<b", true},  {u"a&b", true},  {u">", true},    {u"'", true},         {u"a\"", true},
        {u"a\tb", true}, {u"a\nb", true}, {u"a\rb", true}, {u"x\x00A0y", false}, {u"%ls", false},
    };
    const CXMLObject any;
    for (const Case& c : cases)
        EXPECT_EQ(any.CDATARequired(W(c.text)), c.cdata)
            << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
    EXPECT_FALSE(any.CDATARequired(nullptr));
}

TEST(Serialiser, NodeWriteAndGetContentGoThroughASink) {
    Capture capture;
    StringOut sink(false);
    ASSERT_TRUE(sink.Open());
    EXPECT_TRUE(DataNode(u"d", u"1").Write(sink));
    EXPECT_EQ(sink.text, u"\xFEFF<d>1</d>");
    EXPECT_TRUE(Capture::Reports().empty()) << "no debugger is attached";
    EXPECT_EQ(U(CXMLObject().GetContent()), u"");
    EXPECT_EQ(U(ExampleTree().GetContent()), MemText(ExampleTree()));
}

}  // namespace
}  // namespace xmlout_test
