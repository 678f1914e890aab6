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

TEST(Lists, GrowthSteps) {
    const std::pair<unsigned int, unsigned int> attributeSteps[] = {
        {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 8}, {8, 8}, {9, 12}, {13, 16}, {17, 20}};
    CXMLAttribList attributes;
    unsigned int added = 0;
    for (const auto& [count, capacity] : attributeSteps) {
        for (; added < count; ++added) ASSERT_TRUE(attributes.Add(PS(u"n"), PS(u"v")));
        EXPECT_EQ(AllocatedBytes(attributes), capacity * sizeof(CXMLAttribute))
            << count << " attributes";
    }
    const std::pair<unsigned int, unsigned int> childSteps[] = {
        {1, 1},   {2, 2},   {3, 3},    {4, 4},     {5, 8},     {9, 16},   {17, 24},
        {25, 32}, {33, 40}, {41, 296}, {296, 296}, {297, 552}, {553, 808}};
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
    unsigned int n;
    EXPECT_EQ(Text(other.GetArray(n)[1].GetValue()), u"2");
    EXPECT_EQ(Text(list.GetArray(n)[1].GetValue()), u"2");
    EXPECT_TRUE(list.Delete(2));  // index == count: nothing
    EXPECT_TRUE(list.Delete(0));
    EXPECT_TRUE(list.Delete(0));
    EXPECT_FALSE(list.HasBlock());
}

TEST(ObjectList, InsertAndDeleteReleaseOnlyTheListsHold) {
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
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(list.Delete(0));
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 2);
    EXPECT_TRUE(list.Delete(0));
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 1);
    EXPECT_TRUE(kept.IsName(PS(u"k")));
    unsigned int n = 7;
    EXPECT_EQ(list.GetArray(n), nullptr);
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(list.HasBlock());
}

TEST(ObjectList, AddingAListSharesOrAppends) {
    CXMLObjectList source;
    source.Add(Node(u"x"));
    source.Add(Node(u"y"));
    CXMLObjectList empty;
    ASSERT_TRUE(empty.Add(source));
    unsigned int n1, n2;
    EXPECT_EQ(empty.GetArray(n1), source.GetArray(n2));  // shared, no copy

    CXMLObjectList target;
    target.Add(Node(u"w"));
    ASSERT_TRUE(target.Add(source));
    EXPECT_TRUE(target.Add(CXMLObjectList()));
    ASSERT_TRUE(target.Add(target));  // appending itself doubles it
    EXPECT_EQ(Names(target), u"wxywxy");
}

TEST(ObjectList, AddingAHandleFromTheSameBlockSurvivesGrowth) {
    CXMLObjectList list;
    list.Add(Node(u"f"));
    unsigned int n;
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(list.Add(list.GetArray(n)[0]));
    EXPECT_EQ(Names(list), std::u16string(51, u'f'));
}

TEST(NodeChildren, ItemAndGetElements) {
    CXMLObject parent = Node(u"p");
    CXMLObject child = Node(u"c");
    EXPECT_EQ(parent.item(xmlret()), nullptr);
    CXMLObject* slot = parent.item(parent.Add(child));
    ASSERT_NE(slot, nullptr);
    slot->Add(PS(u"through the slot"));
    EXPECT_TRUE(child.IsData(PS(u"through the slot")));
    unsigned int n;
    EXPECT_EQ(parent.GetElements(n), slot);
    EXPECT_EQ(n, 1u);
    parent.Add(PS(u"text"));  // now CXML_TYPE_PROCESS: data and elements are hidden
    EXPECT_EQ(parent.GetElements(n), nullptr);
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(parent.GetData().isnull());
    EXPECT_TRUE(parent.IsData(PS(u"text")));
    EXPECT_EQ(parent.item(0u), slot);
    EXPECT_EQ(parent.item(1u), nullptr);
    EXPECT_EQ(static_cast<const CXMLObject&>(parent).item(0u), slot);
}

}  // namespace
