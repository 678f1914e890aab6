// Tag builders and formatted content.
#include <gtest/gtest.h>

#include <string>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

TEST(TagBuilders, NamesAndValuesThatFail) {
    CXMLObject n = Node(u"n");
    EXPECT_FALSE(n.AddTag(PS(u"1a"), u"x"));
    EXPECT_FALSE(n.AddTag(PS(u"a b"), true));
    EXPECT_FALSE(n.AddTag(PS(u""), 1.0));
    EXPECT_FALSE(n.AddTag(CPPoolString(), PS(u"x")));
    EXPECT_FALSE(n.AddTag(PS(u"a"), u""));
    EXPECT_FALSE(n.AddTag(PS(u"a"), static_cast<const unsigned short*>(nullptr)));
    EXPECT_FALSE(n.SetTag(PS(u"a"), static_cast<const unsigned short*>(nullptr)));
    EXPECT_FALSE(n.AddTag(PS(u"a"), timecode()));
    const tagXMLFLAGMAP map[] = {{1, PS(u"one")}};
    EXPECT_FALSE(n.AddTag(PS(u"a"), 0, map, 1, '|'));
    EXPECT_TRUE(n.IsNamedDefault());
    EXPECT_FALSE(CXMLObject().AddTag(PS(u"a"), u"x"));
    EXPECT_FALSE(CXMLObject().SetTag(PS(u"a"), true));

    const xmlret empty = n.AddTag(PS(u"a"), PS(u""));
    ASSERT_EQ(empty.uIndex(), 0u);
    EXPECT_TRUE(n.item(empty)->IsNamedDefault());
    EXPECT_EQ(n.AddTag(PS(u"b")).uIndex(), 1u);
    EXPECT_EQ(n.AddTag(PS(u"c"), 0, map, 1, '|').uIndex(), xmlret::kFailed);
    const unsigned char bytes[] = {1};
    EXPECT_EQ(n.AddTag(PS(u"c"), bytes, 0).uIndex(), 2u);  // no bytes: no data
    EXPECT_EQ(n.GetNElements(CPPoolString()), 3u);
}

TEST(TagBuilders, SetTagReplacesTheContent) {
    CXMLObject n = Node(u"n");
    for (const char16_t* name : {u"a", u"a", u"c"}) n.Add(Node(name));
    const xmlret r = n.SetTag(PS(u"b"), u"5");
    EXPECT_EQ(r.uIndex(), 0u);
    ASSERT_EQ(n.GetNElements(CPPoolString()), 1u);
    EXPECT_TRUE(n.item(0u)->IsName(PS(u"b")));
    EXPECT_EQ(n.FindElementInt(PS(u"b"), 0), 5);
    EXPECT_FALSE(n.SetTag(PS(u"9"), true));  // fails before removing anything
    EXPECT_EQ(n.GetNElements(CPPoolString()), 1u);
    CGUID g;
    g = u"{6B29FC40-CA47-1067-B31D-00DD010662DA}";
    ASSERT_EQ(n.SetTag(PS(u"g"), g).uIndex(), 0u);
    EXPECT_EQ(n.FindElementGUID(PS(u"g"), CGUID()), g);
    ASSERT_EQ(n.SetTag(PS(u"t"), timecode(1, 2, 3, 4)).uIndex(), 0u);
    ASSERT_EQ(n.SetTag(PS(u"f"), filetime(77)).uIndex(), 0u);
    EXPECT_EQ(n.FindElementFileTime(PS(u"f"), filetime()), filetime(77));
    EXPECT_EQ(n.GetNElements(CPPoolString()), 1u);
}

TEST(TagBuilders, AddTagBesideDataMakesAProcessNode) {
    CXMLObject n = Node(u"n");
    ASSERT_TRUE(n.Add(u"text"));
    EXPECT_FALSE(n.printfTag(PS(u"t"), W(u"%d"), 1));
    ASSERT_TRUE(n.AddTag(PS(u"t"), true));
    EXPECT_EQ(n.GetType(), CXML_TYPE_PROCESS);
    EXPECT_TRUE(n.FindElementBool(PS(u"t"), false));
}

TEST(FormattedText, LengthLimit) {
    struct Case {
        const char16_t* format;
        bool accepted;
    };
    for (const Case& c : {Case{u"%2047s", true}, Case{u"%2048s", false}, Case{u"%3000s", false},
                          Case{u"%n", false}}) {
        CXMLObject n = Node(u"n");
        EXPECT_EQ(n.printf(W(c.format), W(u"x")), c.accepted)
            << testing::PrintToString(Text(PS(c.format)));
        EXPECT_EQ(n.GetData().len(), c.accepted ? 2047u : 0u);
        CXMLObject holder = Node(u"h");
        EXPECT_EQ(static_cast<bool>(holder.printfTag(PS(u"t"), W(c.format), W(u"x"))), c.accepted);
        EXPECT_EQ(holder.printfAttribute(PS(u"a"), W(c.format), W(u"x")), c.accepted);
        ASSERT_TRUE(holder.Set(u"old"));
        EXPECT_EQ(holder.Sprintf(W(c.format), W(u"x")), c.accepted);
        EXPECT_EQ(Text(holder.GetData()).size(), c.accepted ? 2047u : 3u);
    }
}

TEST(FormattedText, AddingRefusesAndReplacingReplaces) {
    CXMLObject n = Node(u"n");
    ASSERT_TRUE(n.printf(W(u"%d-%s"), 42, W(u"x")));
    EXPECT_EQ(Text(n.GetData()), u"42-x");
    EXPECT_FALSE(n.printf(W(u"%d"), 1));
    ASSERT_TRUE(n.Sprintf(W(u"%I64u"), std::uint64_t{18446744073709551615u}));
    EXPECT_EQ(n.GetDataLUInt(0), 18446744073709551615u);
    EXPECT_FALSE(n.Sprintf(W(u"%s"), W(u"")));  // removes, then refuses the empty text
    EXPECT_TRUE(n.IsNamedDefault());
    EXPECT_FALSE(n.printf(nullptr));
    EXPECT_FALSE(CXMLObject().printf(W(u"x")));
    EXPECT_FALSE(CXMLObject().Sprintf(W(u"x")));

    ASSERT_TRUE(n.printfAttribute(PS(u"a"), W(u"%u"), 7u));
    ASSERT_TRUE(n.printfAttribute(PS(u"b"), W(u"%x"), 255u));
    EXPECT_FALSE(n.printfAttribute(PS(u"a"), W(u"%u"), 8u));
    EXPECT_FALSE(n.printfAttribute(PS(u"1a"), W(u"%u"), 8u));
    EXPECT_EQ(n.FindAttributeUInt(PS(u"a"), 0), 7u);
    EXPECT_EQ(n.FindAttributeHex(PS(u"b"), 0), 255u);
    ASSERT_TRUE(n.SprintfAttribute(PS(u"a"), W(u"%s!"), n.FindAttributeString(PS(u"a"), nullptr)));
    unsigned int count;
    const CXMLAttribute* attributes = n.GetAttributes(count);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(attributes[1].GetName(), PS(u"a"));
    EXPECT_EQ(attributes[1].GetValue(), PS(u"7!"));
    EXPECT_FALSE(n.SprintfAttribute(PS(u"b"), W(u"%n")));  // the old one stays removed
    EXPECT_FALSE(n.HasAttribute(PS(u"b")));

    ASSERT_EQ(n.printfTag(PS(u"i"), W(u"%d"), -3).uIndex(), 0u);
    ASSERT_EQ(n.printfTag(PS(u"j"), W(u"%s"), W(u"")).uIndex(), 1u);  // a child without data
    EXPECT_EQ(n.FindElementInt(PS(u"i"), 0), -3);
    EXPECT_FALSE(n.printfTag(PS(u""), W(u"%d"), 1));
    ASSERT_EQ(n.SprintfTag(PS(u"k"), W(u"%.3f"), 0.5).uIndex(), 0u);
    EXPECT_EQ(n.GetNElements(CPPoolString()), 1u);
    EXPECT_EQ(n.FindElementDouble(PS(u"k"), 0), 0.5);
}

}  // namespace
