// Child and attribute lists: growth, sharing, insertion and deletion, and
// the attribute operations of a node.
#include <gtest/gtest.h>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

// Capacity of a child list whose children are lone nodes.
unsigned int ChildCapacity(const CXMLObjectList& list) {
    std::uint64_t used = 0, spare = 0;
    list.GetMemUsage(used, spare);
    return static_cast<unsigned int>(used / sizeof(CXMLObjectBody) + spare / sizeof(CXMLObject));
}

std::u16string Names(const CXMLObjectList& list) {
    unsigned int n;
    const CXMLObject* items = list.GetArray(n);
    std::u16string all;
    for (unsigned int i = 0; i < n; ++i) all += items[i] ? Text(items[i].GetName()) : u"-";
    return all;
}

std::u16string Attributes(const CXMLObject& n) {
    std::u16string all;
    unsigned int count;
    const CXMLAttribute* items = n.GetAttributes(count);
    for (unsigned int i = 0; i < count; ++i)
        all += Text(items[i].GetName()) + u"=" + Text(items[i].GetValue()) + u";";
    return all;
}

TEST(Lists, GrowthSteps) {
    const std::pair<unsigned int, unsigned int> attributeSteps[] = {{1, 1}, {4, 4},  {5, 8},
                                                                    {8, 8}, {9, 12}, {13, 16}};
    CXMLAttribList attributes;
    unsigned int added = 0;
    for (const auto& [count, capacity] : attributeSteps) {
        for (; added < count; ++added) ASSERT_TRUE(attributes.Add(PS(u"n"), PS(u"v")));
        EXPECT_EQ(AllocatedBytes(attributes), capacity * sizeof(CXMLAttribute)) << count;
    }
    const std::pair<unsigned int, unsigned int> childSteps[] = {
        {1, 1}, {4, 4}, {5, 8}, {9, 16}, {17, 24}, {41, 296}, {296, 296}, {297, 552}};
    CXMLObjectList children;
    added = 0;
    for (const auto& [count, capacity] : childSteps) {
        for (; added < count; ++added) ASSERT_EQ(children.Add(Node(u"c")).uIndex(), added);
        EXPECT_EQ(ChildCapacity(children), capacity) << count << " children";
    }
}

TEST(AttribList, PreallocOnlyWithoutABlockAndCompactOfASharedBlock) {
    CXMLAttribList list;
    ASSERT_TRUE(list.Prealloc(6));
    EXPECT_FALSE(list.Prealloc(2));
    list.Add(PS(u"a"), PS(u"1"));
    list.Add(PS(u"b"), PS(u"2"));
    CXMLAttribList other = list;
    ASSERT_TRUE(list.Compact());  // shared block: compaction copies
    EXPECT_EQ(AllocatedBytes(list), 2 * sizeof(CXMLAttribute));
    EXPECT_EQ(AllocatedBytes(other), 6 * sizeof(CXMLAttribute));
    EXPECT_TRUE(list.Delete(2));  // index == count: nothing
    EXPECT_TRUE(list.Delete(0));
    EXPECT_TRUE(list.Delete(0));
    EXPECT_FALSE(list.HasBlock());
}

TEST(ObjectList, InsertAddAndDeleteReleaseOnlyTheListsHold) {
    const std::int64_t bodies = GetXMLObjectBodyCount();
    CXMLObject kept = Node(u"k");
    CXMLObjectList list;
    list.Add(kept);
    list.Add(Node(u"b"));
    EXPECT_EQ(list.Insert(Node(u"d"), 0).uIndex(), 0u);
    EXPECT_EQ(list.Insert(Node(u"e"), 99).uIndex(), 3u);
    EXPECT_EQ(list.Insert(CXMLObject(), 2).uIndex(), 2u);  // a null handle is stored as is
    EXPECT_EQ(Names(list), u"dk-be");
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 4);
    EXPECT_TRUE(list.Delete(5));
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(list.Delete(0));
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 1);
    unsigned int n = 7;
    EXPECT_EQ(list.GetArray(n), nullptr);
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(list.HasBlock());

    CXMLObjectList source, target;
    source.Add(Node(u"x"));
    source.Add(Node(u"y"));
    ASSERT_TRUE(list.Add(source));
    unsigned int n2;
    EXPECT_EQ(list.GetArray(n), source.GetArray(n2));  // shared, no copy
    target.Add(Node(u"w"));
    ASSERT_TRUE(target.Add(source));
    EXPECT_TRUE(target.Add(CXMLObjectList()));
    ASSERT_TRUE(target.Add(target));  // appending itself doubles it
    EXPECT_EQ(Names(target), u"wxywxy");
    // A handle from the list's own block survives the growth it causes.
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(target.Add(target.GetArray(n)[0]));
    EXPECT_EQ(Names(target), u"wxywxy" + std::u16string(50, u'w'));
}

TEST(NodeChildren, ItemAndGetElements) {
    CXMLObject parent = Node(u"p");
    CXMLObject child = Node(u"c");
    EXPECT_EQ(parent.item(xmlret()), nullptr);
    CXMLObject* slot = parent.item(parent.Add(child));
    ASSERT_NE(slot, nullptr);
    slot->Add(PS(u"through the slot"));
    EXPECT_TRUE(child.IsData(PS(u"through the slot")));
    parent.Add(PS(u"text"));  // data and elements are hidden beside each other
    unsigned int n;
    EXPECT_EQ(parent.GetElements(n), nullptr);
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(parent.GetData().isnull());
    EXPECT_TRUE(parent.IsData(PS(u"text")));
    EXPECT_EQ(parent.item(0u), slot);
    EXPECT_EQ(parent.item(1u), nullptr);
}

TEST(Attributes, AddRefusesDuplicatesSetMovesToTheEndDeleteDropsTheBlock) {
    CXMLObject n = Node(u"n");
    EXPECT_TRUE(n.AddAttribute(PS(u"a"), PS(u"1")));
    EXPECT_TRUE(n.AddAttribute(PS(u"b"), PS(u"2")));
    EXPECT_FALSE(n.AddAttribute(PS(u"a"), PS(u"9")));
    EXPECT_TRUE(n.AddAttribute(PS(u"A"), PS(u"3")));  // names are case-sensitive
    EXPECT_TRUE(n.SetAttribute(PS(u"a"), PS(u"4")));
    EXPECT_EQ(Attributes(n), u"b=2;A=3;a=4;");
    EXPECT_TRUE(n.HasAttribute(PS(u"A")));
    EXPECT_FALSE(n.HasAttribute(PS(u"c")));
    EXPECT_TRUE(n.FindAttribute(PS(u"c")).isnull());
    // Values may be empty but not null.
    CXMLObject m = Node(u"m");
    EXPECT_FALSE(m.AddAttribute(PS(u"z"), CPPoolString()));
    EXPECT_TRUE(m.AddAttribute(PS(u"e"), PS(u"")));
    EXPECT_FALSE(m.FindAttribute(PS(u"e")).isnull());
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
        EXPECT_EQ(Attributes(n), overwrite ? u"a=from-a;b=from-b;c=from-c;" : u"a=1;b=2;c=from-c;");
    }
    CXMLObject n = Node(u"n");
    EXPECT_TRUE(n.MergeAttributes(CXMLObject(), true));
    EXPECT_TRUE(n.MergeAttributes(from, false));
    EXPECT_TRUE(n.MergeAttributes(n, true));  // merging with itself changes nothing
    EXPECT_EQ(Attributes(n), u"b=from-b;c=from-c;a=from-a;");
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
    EXPECT_EQ(Attributes(n), u"ansi=caf\u00E9;utf8=caf\u00E9;wide=caf\u00E9;empty=;");
}

}  // namespace
