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

TEST(AttribList, GrowthSteps) {
    const std::pair<unsigned int, unsigned int> steps[] = {{1, 1},  {2, 2},  {3, 3},   {4, 4},  {5, 8},
                                                          {8, 8},  {9, 12}, {13, 16}, {17, 20}};
    CXMLAttribList list;
    unsigned int added = 0;
    for (const auto& [count, capacity] : steps) {
        for (; added < count; ++added) ASSERT_TRUE(list.Add(PS(u"n"), PS(u"v")));
        EXPECT_EQ(AllocatedBytes(list), capacity * sizeof(CXMLAttribute)) << count << " items";
    }
    unsigned int n;
    EXPECT_NE(list.GetArray(n), nullptr);
    EXPECT_EQ(n, 17u);
}

TEST(AttribList, DeleteMovesTheRestAndDropsTheLastBlock) {
    CXMLAttribList list;
    list.Add(PS(u"a"), PS(u"1"));
    list.Add(PS(u"b"), PS(u"2"));
    list.Add(PS(u"c"), PS(u"3"));
    EXPECT_TRUE(list.Delete(3));  // index == count: nothing
    unsigned int n;
    list.GetArray(n);
    EXPECT_EQ(n, 3u);
    EXPECT_TRUE(list.Delete(1));
    const CXMLAttribute* items = list.GetArray(n);
    ASSERT_EQ(n, 2u);
    EXPECT_EQ(Text(items[0].GetName()), u"a");
    EXPECT_EQ(Text(items[1].GetName()), u"c");
    EXPECT_EQ(Text(items[1].GetValue()), u"3");
    list.Delete(0);
    list.Delete(0);
    EXPECT_FALSE(list.HasBlock());
    EXPECT_EQ(list.GetArray(n), nullptr);
    EXPECT_EQ(n, 0u);
}

TEST(AttribList, PreallocOnlyWithoutABlockAndCompact) {
    CXMLAttribList list;
    ASSERT_TRUE(list.Prealloc(6));
    EXPECT_FALSE(list.Prealloc(2));
    list.Add(PS(u"a"), PS(u"1"));
    list.Add(PS(u"b"), PS(u"2"));
    EXPECT_EQ(AllocatedBytes(list), 6 * sizeof(CXMLAttribute));

    CXMLAttribList other = list;  // shared block: compaction copies
    ASSERT_TRUE(list.Compact());
    EXPECT_EQ(AllocatedBytes(list), 2 * sizeof(CXMLAttribute));
    EXPECT_EQ(AllocatedBytes(other), 6 * sizeof(CXMLAttribute));
    unsigned int n;
    EXPECT_EQ(Text(other.GetArray(n)[1].GetValue()), u"2");
    EXPECT_EQ(Text(list.GetArray(n)[1].GetValue()), u"2");

    other = CXMLAttribList();
    list.Add(PS(u"c"), PS(u"3"));
    ASSERT_TRUE(list.Compact());  // sole holder: items move
    EXPECT_EQ(Text(list.GetArray(n)[2].GetName()), u"c");
    EXPECT_EQ(AllocatedBytes(list), 3 * sizeof(CXMLAttribute));
}

TEST(ObjectList, GrowthSteps) {
    const std::pair<unsigned int, unsigned int> steps[] = {
        {1, 1},   {2, 2},   {3, 3},   {4, 4},   {5, 8},   {9, 16}, {17, 24},
        {25, 32}, {33, 40}, {41, 296}, {296, 296}, {297, 552}, {553, 808}};
    CXMLObjectList list;
    unsigned int added = 0;
    for (const auto& [count, capacity] : steps) {
        while (added < count) {
            ASSERT_EQ(list.Add(Node(u"c")).uIndex(), added);
            ++added;
        }
        EXPECT_EQ(ChildCapacity(list), capacity) << count << " children";
    }
}

TEST(ObjectList, InsertPositions) {
    CXMLObjectList list;
    CXMLObject a = Node(u"a"), b = Node(u"b"), c = Node(u"c"), d = Node(u"d"), e = Node(u"e");
    list.Add(a);
    list.Add(b);
    list.Add(c);
    EXPECT_EQ(list.Insert(d, 0).uIndex(), 0u);
    EXPECT_EQ(list.Insert(e, 99).uIndex(), 4u);
    unsigned int n;
    const CXMLObject* items = list.GetArray(n);
    ASSERT_EQ(n, 5u);
    const char16_t* order[] = {u"d", u"a", u"b", u"c", u"e"};
    for (unsigned int i = 0; i < n; ++i) EXPECT_EQ(Text(items[i].GetName()), order[i]);
    EXPECT_EQ(list.Insert(CXMLObject(), 2).uIndex(), 2u);  // a null handle is stored as is
    EXPECT_FALSE(list.GetArray(n)[2]);
}

TEST(ObjectList, DeleteReleasesOnlyTheListsHold) {
    const std::int64_t bodies = GetXMLObjectBodyCount();
    CXMLObject kept = Node(u"kept");
    CXMLObjectList list;
    list.Add(kept);
    list.Add(Node(u"only_in_list"));
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 2);
    EXPECT_TRUE(list.Delete(2));
    EXPECT_TRUE(list.Delete(1));
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 1);
    EXPECT_TRUE(list.Delete(0));
    EXPECT_TRUE(kept.IsName(PS(u"kept")));
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
    const CXMLObject* items = target.GetArray(n1);
    ASSERT_EQ(n1, 3u);
    EXPECT_TRUE(items[2].IsName(PS(u"y")));
    EXPECT_TRUE(target.Add(CXMLObjectList()));
    ASSERT_TRUE(target.Add(target));  // appending itself doubles it
    items = target.GetArray(n1);
    ASSERT_EQ(n1, 6u);
    EXPECT_TRUE(items[3].IsName(PS(u"w")));
    EXPECT_TRUE(items[5].IsName(PS(u"y")));
}

TEST(ObjectList, AddingAHandleFromTheSameBlockSurvivesGrowth) {
    CXMLObjectList list;
    list.Add(Node(u"first"));
    for (int i = 0; i < 50; ++i) {
        unsigned int n;
        const CXMLObject& head = list.GetArray(n)[0];
        ASSERT_TRUE(list.Add(head));
    }
    unsigned int n;
    const CXMLObject* items = list.GetArray(n);
    EXPECT_EQ(n, 51u);
    EXPECT_TRUE(items[50].IsName(PS(u"first")));
}

TEST(ObjectList, CompactOfASharedBlockLeavesTheOtherList) {
    CXMLObjectList a;
    for (int i = 0; i < 5; ++i) a.Add(Node(u"c"));
    CXMLObjectList b = a;
    unsigned int n;
    const CXMLObject* shared = b.GetArray(n);
    ASSERT_TRUE(a.Compact());
    EXPECT_EQ(ChildCapacity(a), 5u);
    EXPECT_EQ(b.GetArray(n), shared);
    EXPECT_EQ(ChildCapacity(b), 8u);
    EXPECT_EQ(n, 5u);
    EXPECT_TRUE(shared[4].IsName(PS(u"c")));
}

TEST(ObjectList, ReallocCopiesBlockAndChildren) {
    CXMLObjectList a;
    a.Add(Node(u"c"));
    CXMLObjectList b = a;
    ASSERT_TRUE(b.Realloc());
    unsigned int n;
    EXPECT_NE(a.GetArray(n), b.GetArray(n));
    b.GetArray(n)[0].Rename(PS(u"changed"));
    EXPECT_TRUE(a.GetArray(n)[0].IsName(PS(u"c")));
    EXPECT_TRUE(CXMLObjectList().Realloc());
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
    parent.Add(PS(u"text"));  // now CXML_TYPE_PROCESS
    EXPECT_EQ(parent.GetElements(n), nullptr);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(parent.item(0u), slot);
    EXPECT_EQ(parent.item(1u), nullptr);
    EXPECT_EQ(CXMLObject().item(0u), nullptr);
    const CXMLObject& constParent = parent;
    EXPECT_EQ(constParent.item(0u), slot);
}

}  // namespace
