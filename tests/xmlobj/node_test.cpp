// The node handle: names, shared bodies, null handles, slots, memory
// failures, threads and a million levels.
#include <gtest/gtest.h>

#include <thread>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

using A = CXMLObjectTestAccess;

TEST(NodeCore, FactoryNamesWidenTheirCodePageAndEmptyNamesAreReported) {
    CXMLObject n;
    ASSERT_TRUE(A::setNameType(n, "Caf\xE9", 0));
    EXPECT_EQ(Text(n.GetName()), u"Caf\u00E9");
    ASSERT_TRUE(A::setNameType(n, reinterpret_cast<const unsigned char*>("Caf\xC3\xA9"), 1));
    EXPECT_EQ(Text(n.GetName()), u"Caf\u00E9");
    EXPECT_EQ(n.GetType(), CXML_TYPE_ELEMENT);
    ASSERT_TRUE(A::setNameType(n, W(u"<Main>"), CXML_TYPE_ELEMENT));  // no name rule here

    ReportRecorder recorder;
    EXPECT_FALSE(CXMLObject(PS(u"")));
    EXPECT_FALSE(CXMLObject(CPPoolString{}));
    ASSERT_EQ(recorder.reports().size(), 2u);
    ExpectReport(recorder.reports()[0], "pName", 339, "setNameType");
    EXPECT_FALSE(A::setNameType(n, static_cast<const char*>(nullptr), 0));
    EXPECT_FALSE(n);
}

TEST(NodeCore, SetNameResetAndReassign) {
    CXMLObject a = Node(u"old");
    ASSERT_TRUE(a.Add(u"data"));
    CXMLObject b = a;
    ASSERT_TRUE(b.SetNameType(PS(u"fresh"), CXML_TYPE_ELEMENT));  // a new node; the type is ignored
    EXPECT_EQ(Text(a.GetName()) + Text(a.GetData()), u"olddata");
    EXPECT_FALSE(b.SetName(PS(u"9lives")) || b.Rename(PS(u"a b")) || b.SetName(CPPoolString()));
    EXPECT_EQ(b.GetContent(), PS(u"<fresh/>"));
    CXMLObject none;
    EXPECT_TRUE(none.SetName(PS(u"born")));

    b.AddAttribute(PS(u"x"), PS(u"1"));
    b.Add(Node(u"c"));
    CXMLObject copy;
    copy.Reassign(b);  // the subtree becomes private
    copy.item(0u)->SetAttribute(PS(u"k"), PS(u"changed"));
    EXPECT_FALSE(b.item(0u)->HasAttribute(PS(u"k")));
    EXPECT_EQ(copy.item(0u)->GetName(), b.item(0u)->GetName());
    CXMLObject shared = b;
    shared.Reset();  // keeps the name on the shared body
    EXPECT_EQ(b.GetContent(), PS(u"<fresh/>"));
}

TEST(NodeCore, ReleasingATreeGivesEveryNameBack) {
    const std::u16string names[] = {u"releasedRoot", u"releasedChild", u"releasedGrandchild"};
    {
        // Runs of one name among siblings and down the levels.
        CXMLObject root = Node(names[0].c_str());
        for (int i = 0; i < 3; ++i) root.Add(Node(names[1].c_str()));
        root.item(0u)->Add(Node(names[2].c_str()));
        root.item(0u)->item(0u)->Add(Node(names[2].c_str()));
    }
    for (const std::u16string& name : names)
        EXPECT_TRUE(CStringPool::QueryStringRefn(W(name.c_str()), name.size()).isnull())
            << testing::PrintToString(name);
}

TEST(NullHandle, EveryOperationAnswersWithoutANode) {
    ReportRecorder recorder;
    CXMLObject n;
    unsigned int count = 5;
    std::uint64_t used = 7, spare = 9;
    n.GetMemUsage(used, spare);
    EXPECT_EQ(used + spare, 16u);
    EXPECT_EQ(n.GetType(), 0xFFFFFFFFu);
    EXPECT_TRUE(n.GetName().isnull() && n.GetData().isnull() && n.FindAttribute(PS(u"a")).isnull());
    EXPECT_TRUE(n.IsDefault() && !n.IsNamedDefault());
    EXPECT_FALSE(n.IsName(CPPoolString()) || n.IsData(CPPoolString()) || n.HasAttribute(PS(u"a")));
    EXPECT_TRUE(n.Compact() && n.Realloc() && n.DeleteAttribute(PS(u"a")));
    EXPECT_TRUE(!n.item(0u) && !n.GetAttributes(count) && count == 0 && n.GetNAttributes() == 0);
    EXPECT_FALSE(n.Rename(PS(u"ok")) || n.AddAttribute(PS(u"a"), PS(u"1")));
    EXPECT_FALSE(n.MergeAttributes(Node(u"x"), true) || n.Add(Node(u"x")) ||
                 n.Insert(Node(u"x"), 0));
    EXPECT_FALSE(n.CAdd(Node(u"x")) || n.Set(CXMLObjectList()) || n.Add(PS(u"x")) || n.Set("x"));
    EXPECT_FALSE(n.DeleteContent());
    n.Reset();
    n.Free();
    EXPECT_FALSE(n);
    EXPECT_TRUE(recorder.reports().empty());
    // Only the deleters report a missing node.
    EXPECT_FALSE(n.Delete(nullptr));
    EXPECT_FALSE(n.DeleteElements());
    EXPECT_FALSE(n.DeleteData());
    ASSERT_EQ(recorder.reports().size(), 3u);
    ExpectReport(recorder.reports()[0], "m_pO", 1879, "Delete(");
    ExpectReport(recorder.reports()[1], "m_pO", 1899, "DeleteElements(");
    ExpectReport(recorder.reports()[2], "m_pO", 1921, "DeleteData(");
}

// Blocks of another type are refused; a slot's own block is shared.
TEST(PXMLObject, ForeignBlocksAreRefused) {
    CPObjectMemory foreign;
    ASSERT_TRUE(foreign.Alloc(sizeof(CXMLObject), &CXMLObjectList::_vtbl));
    EXPECT_FALSE(CPXMLObject(foreign));
    ReportRecorder recorder;
    CPXMLObject p(Node(u"x"));
    p = foreign;
    EXPECT_FALSE(p);
    ASSERT_EQ(recorder.reports().size(), 1u);
    ExpectReport(recorder.reports()[0],
                 "cpMem.IsAssignable(sizeof(CXMLObject),&CPXMLObject::_vtbl)", 190);
    CPXMLObject source(Node(u"shared"));
    p = static_cast<const CPObjectMemory&>(source);
    *p = Node(u"changed");
    EXPECT_TRUE(source->IsName(PS(u"changed")));
}

// With the heap exhausted every operation that needs a block fails and
// leaves the node as it was; full lists whose next growth needs a new block
// keep their blocks, and a compaction keeps the list.
TEST(AllocationFailure, NodesBlocksGrowthAndCompactionFailCleanly) {
    const CPPoolString name = PS(u"x"), value = PS(u"v");
    CXMLObject n = Node(u"n"), child = Node(u"c"), renamed = Node(u"r"), a = Node(u"a");
    a.Add(Node(u"c"));
    CXMLObject b = a;
    CXMLObject full = Node(u"full"), five = Node(u"five");
    for (int i = 0; i < 40; ++i) full.Add(Node(u"c"));  // capacity 40, next step 256
    for (const char16_t* att : {u"a", u"b", u"c", u"d"}) full.AddAttribute(PS(att), value);
    for (int i = 0; i < 5; ++i) five.Add(Node(u"c"));  // capacity 8
    CXMLObjectList more;
    for (int i = 0; i < 10; ++i) more.Add(Node(u"m"));
    unsigned int count;
    const CXMLObject* before = full.GetElements(count);
    const CXMLAttribute* attribsBefore = full.GetAttributes(count);
    ReportRecorder recorder;
    {
        AllocationFailure fail(0);
        EXPECT_FALSE(CXMLObject(name));
        EXPECT_FALSE(b.Realloc());
        EXPECT_FALSE(CXMLObjectList().Prealloc(3) || CXMLAttribList().Prealloc(2));
        EXPECT_FALSE(n.Add(child) || n.AddAttribute(name, value));
        CPXMLObject p;
        EXPECT_EQ(p.Create(), nullptr);
        EXPECT_FALSE(renamed.SetName(name));
        EXPECT_FALSE(renamed);
        EXPECT_FALSE(full.Add(*full.item(0u)) || full.Insert(child, 0) || full.Add(more));
        EXPECT_FALSE(full.AddAttribute(name, value) || five.Compact());
    }
    EXPECT_TRUE(recorder.reports().empty());  // an exhausted heap is not an assumption
    EXPECT_TRUE(n.IsNamedDefault());
    b.Rename(PS(u"seen_by_a"));  // the failed Realloc kept the shared body
    EXPECT_TRUE(a.IsName(PS(u"seen_by_a")));
    EXPECT_EQ(full.GetElements(count), before);
    EXPECT_EQ(count, 40u);
    EXPECT_EQ(full.GetAttributes(count), attribsBefore);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(five.GetNElements(CPPoolString()), 5u);
}

// Two threads copy and release handles of one tree; the last release, on
// either thread, frees it.
TEST(Threads, HandlesCopiedAndReleasedConcurrently) {
    const std::int64_t bodies = GetXMLObjectBodyCount();
    CXMLObject tree = Node(u"t");
    tree.Add(Node(u"c"));
    auto churn = [](CXMLObject held) {
        for (int i = 0; i < 2000; ++i) {
            CXMLObject a(held), b;
            b = a;
            a.Free();
        }
    };
    std::thread t1(churn, tree), t2(churn, tree);
    tree.Free();
    t1.join();
    t2.join();
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies);
}

TEST(DeepTree, MillionLevelsReleaseMeasureCompactAndRealloc) {
    constexpr unsigned int kDepth = 1000000;
    const std::int64_t bodies = GetXMLObjectBodyCount();
    {
        CXMLObject root = Chain(kDepth);
        // Every list holds its one child at capacity 1.
        EXPECT_EQ(MemUsage(root),
                  std::pair(std::uint64_t(kDepth) * sizeof(CXMLObjectBody), std::uint64_t{0}));
        for (const char16_t* name : {u"a", u"b", u"c", u"d", u"e"})
            root.item(0u)->AddAttribute(PS(name), PS(u"v"));  // capacity 8
        EXPECT_EQ(MemUsage(root).second, 3 * sizeof(CXMLAttribute));
        EXPECT_TRUE(root.Compact());
        EXPECT_EQ(MemUsage(root).second, 0u);
        CXMLObject copy = root;
        ASSERT_TRUE(copy.Realloc());  // the whole chain is shared: every body is copied
        EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 2 * std::int64_t(kDepth));
    }
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies);
}

}  // namespace
