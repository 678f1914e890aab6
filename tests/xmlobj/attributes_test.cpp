#include <gtest/gtest.h>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

std::u16string Names(const CXMLObject& n) {
    std::u16string all;
    unsigned int count;
    const CXMLAttribute* items = n.GetAttributes(count);
    for (unsigned int i = 0; i < count; ++i) all += Text(items[i].GetName()) + u"=" + Text(items[i].GetValue()) + u";";
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
}

TEST(Attributes, ValuesMayBeEmptyButNotNull) {
    CXMLObject n = Node(u"n");
    EXPECT_TRUE(n.AddAttribute(PS(u"e"), PS(u"")));
    EXPECT_FALSE(n.AddAttribute(PS(u"z"), CPPoolString()));
    const CPPoolString found = n.FindAttribute(PS(u"e"));
    EXPECT_FALSE(found.isnull());
    EXPECT_EQ(found.len(), 0u);
}

TEST(Attributes, NameRuleOnThePublicOperations) {
    CXMLObject n = Node(u"n");
    struct Case {
        const char16_t* name;
        bool valid;
    };
    const Case cases[] = {{u"ok", true}, {u"1st", false}, {u"", false}, {u"a b", false}, {u"x:y", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Text(PS(c.name)).size());
        EXPECT_EQ(n.AddAttribute(PS(c.name), PS(u"v")), c.valid);
        EXPECT_EQ(n.SetAttribute(PS(c.name), PS(u"w")), c.valid);
        EXPECT_EQ(n.DeleteAttribute(PS(c.name)), c.valid);
    }
    EXPECT_TRUE(n.DeleteAttribute(PS(u"absent")));
    EXPECT_EQ(n.GetNAttributes(), 0u);
}

TEST(Attributes, DeletingTheOnlyAttributeDropsTheBlock) {
    CXMLObject n = Node(u"n");
    n.AddAttribute(PS(u"a"), PS(u"1"));
    EXPECT_FALSE(n.IsNamedDefault());
    EXPECT_TRUE(n.DeleteAttribute(PS(u"a")));
    EXPECT_TRUE(n.IsNamedDefault());
}

TEST(Attributes, NullHandle) {
    CXMLObject n;
    EXPECT_FALSE(n.AddAttribute(PS(u"a"), PS(u"1")));
    EXPECT_FALSE(n.SetAttribute(PS(u"a"), PS(u"1")));
    EXPECT_TRUE(n.DeleteAttribute(PS(u"a")));
    EXPECT_FALSE(n.HasAttribute(PS(u"a")));
    EXPECT_TRUE(n.FindAttribute(PS(u"a")).isnull());
    EXPECT_FALSE(n.MergeAttributes(Node(u"x"), true));
    unsigned int count = 5;
    EXPECT_EQ(n.GetAttributes(count), nullptr);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(n.GetNAttributes(), 0u);
    EXPECT_TRUE(CXMLObjectTestAccess::deleteAttribute(n, PS(u"a")));
}

TEST(Attributes, Merge) {
    CXMLObject from = Node(u"from");
    from.AddAttribute(PS(u"b"), PS(u"from-b"));
    from.AddAttribute(PS(u"c"), PS(u"from-c"));
    from.AddAttribute(PS(u"a"), PS(u"from-a"));
    struct Case {
        bool overwrite;
        const char16_t* expected;
    };
    const Case cases[] = {{false, u"a=1;b=2;c=from-c;"}, {true, u"a=from-a;b=from-b;c=from-c;"}};
    for (const Case& c : cases) {
        CXMLObject n = Node(u"n");
        n.AddAttribute(PS(u"a"), PS(u"1"));
        n.AddAttribute(PS(u"b"), PS(u"2"));
        EXPECT_TRUE(n.MergeAttributes(from, c.overwrite));
        EXPECT_EQ(Names(n), c.expected);
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
    CXMLObject none;
    EXPECT_FALSE(A::addAttribute(none, "a", "b"));
}

}  // namespace
