#include <gtest/gtest.h>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

std::u16string Names(const CXMLObject& n) {
    std::u16string all;
    unsigned int count;
    const CXMLAttribute* items = n.GetAttributes(count);
    for (unsigned int i = 0; i < count; ++i)
        all += Text(items[i].GetName()) + u"=" + Text(items[i].GetValue()) + u";";
    return all;
}

TEST(Attributes, AddRefusesDuplicatesSetMovesToTheEnd) {
    CXMLObject n = Node(u"n");
    EXPECT_TRUE(n.AddAttribute(PS(u"a"), PS(u"1")));
    EXPECT_TRUE(n.AddAttribute(PS(u"b"), PS(u"2")));
    EXPECT_FALSE(n.AddAttribute(PS(u"a"), PS(u"9")));
    EXPECT_EQ(Names(n), u"a=1;b=2;");
    EXPECT_TRUE(n.AddAttribute(PS(u"A"), PS(u"3")));  // names are case-sensitive
    EXPECT_TRUE(n.SetAttribute(PS(u"a"), PS(u"4")));
    EXPECT_EQ(Names(n), u"b=2;A=3;a=4;");
    EXPECT_EQ(n.GetNAttributes(), 3u);
    EXPECT_TRUE(n.HasAttribute(PS(u"A")));
    EXPECT_FALSE(n.HasAttribute(PS(u"c")));
    EXPECT_EQ(Text(n.FindAttribute(PS(u"b"))), u"2");
    EXPECT_TRUE(n.FindAttribute(PS(u"c")).isnull());

    // Values may be empty but not null.
    CXMLObject m = Node(u"m");
    EXPECT_FALSE(m.AddAttribute(PS(u"z"), CPPoolString()));
    EXPECT_TRUE(m.AddAttribute(PS(u"e"), PS(u"")));
    EXPECT_EQ(m.FindAttribute(PS(u"e")).len(), 0u);
    EXPECT_FALSE(m.FindAttribute(PS(u"e")).isnull());
    // Deleting the only attribute drops the block.
    EXPECT_TRUE(m.DeleteAttribute(PS(u"e")));
    EXPECT_TRUE(m.IsNamedDefault());
}

TEST(Attributes, NameRuleOnThePublicOperations) {
    CXMLObject n = Node(u"n");
    const std::pair<const char16_t*, bool> cases[] = {
        {u"ok", true}, {u"1st", false}, {u"", false}, {u"a b", false}, {u"x:y", true}};
    for (const auto& [name, valid] : cases) {
        EXPECT_EQ(n.AddAttribute(PS(name), PS(u"v")), valid) << valid;
        EXPECT_EQ(n.SetAttribute(PS(name), PS(u"w")), valid) << valid;
        EXPECT_EQ(n.DeleteAttribute(PS(name)), valid) << valid;
    }
    EXPECT_TRUE(n.DeleteAttribute(PS(u"absent")));
    EXPECT_EQ(n.GetNAttributes(), 0u);
}

TEST(Attributes, Merge) {
    CXMLObject from = Node(u"from");
    from.AddAttribute(PS(u"b"), PS(u"from-b"));
    from.AddAttribute(PS(u"c"), PS(u"from-c"));
    from.AddAttribute(PS(u"a"), PS(u"from-a"));
    for (const bool overwrite : {false, true}) {
        CXMLObject n = Node(u"n");
        n.AddAttribute(PS(u"a"), PS(u"1"));
        n.AddAttribute(PS(u"b"), PS(u"2"));
        EXPECT_TRUE(n.MergeAttributes(from, overwrite));
        EXPECT_EQ(Names(n), overwrite ? u"a=from-a;b=from-b;c=from-c;" : u"a=1;b=2;c=from-c;");
    }
    CXMLObject n = Node(u"n");
    EXPECT_TRUE(n.MergeAttributes(CXMLObject(), true));
    EXPECT_TRUE(n.MergeAttributes(from, false));
    EXPECT_TRUE(n.MergeAttributes(n, true));  // merging with itself changes nothing
    EXPECT_EQ(Names(n), u"b=from-b;c=from-c;a=from-a;");
}

TEST(Attributes, PrivateAddersConvertTheirText) {
    CXMLObject n = Node(u"n");
    using A = CXMLObjectTestAccess;
    EXPECT_TRUE(A::addAttribute(n, "ansi", "caf\xE9"));
    EXPECT_TRUE(A::addAttribute(n, reinterpret_cast<const unsigned char*>("utf8"),
                                reinterpret_cast<const unsigned char*>("caf\xC3\xA9")));
    EXPECT_TRUE(A::addAttribute(n, W(u"wide"), W(u"caf\u00E9")));
    EXPECT_TRUE(A::addAttribute(n, "empty", ""));
    EXPECT_FALSE(A::addAttribute(n, "ansi", "again"));
    EXPECT_FALSE(A::addAttribute(n, "", "v"));
    EXPECT_FALSE(A::addAttribute(n, static_cast<const char*>(nullptr), "v"));
    EXPECT_FALSE(A::addAttribute(n, "v", static_cast<const char*>(nullptr)));
    EXPECT_EQ(Names(n), u"ansi=caf\u00E9;utf8=caf\u00E9;wide=caf\u00E9;empty=;");
}

}  // namespace
