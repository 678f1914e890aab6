#include <gtest/gtest.h>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

TEST(AllocationFailure, NodeCreationAndReallocFail) {
    const CPPoolString name = PS(u"n");
    CXMLObject n = Node(u"before");
    CXMLObject a = Node(u"a");
    a.Add(Node(u"c"));
    CXMLObject b = a;
    ReportRecorder recorder;
    {
        AllocationFailure fail(0);
        EXPECT_FALSE(n.SetName(name));
        EXPECT_FALSE(n);
        EXPECT_FALSE(CXMLObject(name));
        EXPECT_FALSE(b.Realloc());
    }
    EXPECT_TRUE(recorder.reports().empty());  // an exhausted heap is not an assumption
    // The failed Realloc keeps the shared body.
    unsigned int na, nb;
    EXPECT_EQ(a.GetElements(na), b.GetElements(nb));
    b.Rename(PS(u"seen_by_a"));
    EXPECT_TRUE(a.IsName(PS(u"seen_by_a")));
}

TEST(AllocationFailure, FirstBlocksCannotBeHad) {
    const CPPoolString name = PS(u"x"), value = PS(u"v");
    CXMLObject child = Node(u"c");
    CXMLObject n = Node(u"n");
    AllocationFailure fail(0);
    EXPECT_FALSE(CXMLObjectList().Prealloc(3));
    EXPECT_FALSE(CXMLAttribList().Prealloc(2));
    EXPECT_FALSE(n.Add(child));
    EXPECT_FALSE(n.AddAttribute(name, value));
    EXPECT_TRUE(n.IsNamedDefault());
    CPXMLObject p;
    EXPECT_EQ(p.Create(), nullptr);
    p = child;
    EXPECT_FALSE(p);
}

// Full lists whose next growth cannot happen in place: a new block is needed.
TEST(AllocationFailure, GrowthThatNeedsANewBlockLeavesTheListAsItWas) {
    CXMLObject n = Node(u"n");
    for (int i = 0; i < 40; ++i) n.Add(Node(u"c"));  // capacity 40, next step 256
    for (char16_t c = u'a'; c < u'a' + 4; ++c) {
        const char16_t name[] = {c, 0};
        n.AddAttribute(PS(name), PS(u"v"));  // capacity 4, next step 4
    }
    CXMLObjectList more;
    for (int i = 0; i < 10; ++i) more.Add(Node(u"m"));
    const CPPoolString extra = PS(u"extra");
    const CXMLObject newcomer = Node(u"x");
    unsigned int count;
    const CXMLObject* before = n.GetElements(count);
    const CXMLAttribute* attribsBefore = n.GetAttributes(count);
    {
        AllocationFailure fail(0);
        EXPECT_FALSE(n.Add(*n.item(0u)));
        EXPECT_FALSE(n.Insert(newcomer, 0));
        EXPECT_FALSE(n.Add(more));
        EXPECT_FALSE(n.AddAttribute(extra, extra));
    }
    EXPECT_EQ(n.GetElements(count), before);
    EXPECT_EQ(count, 40u);
    EXPECT_EQ(n.GetAttributes(count), attribsBefore);
    EXPECT_EQ(count, 4u);
}

TEST(AllocationFailure, CompactNeedsANewBlock) {
    CXMLObject n = Node(u"n");
    for (int i = 0; i < 5; ++i) n.Add(Node(u"c"));  // capacity 8
    unsigned int count;
    const CXMLObject* before = n.GetElements(count);
    {
        AllocationFailure fail(0);
        EXPECT_FALSE(n.Compact());
    }
    EXPECT_EQ(n.GetElements(count), before);
    EXPECT_TRUE(n.Compact());
    EXPECT_NE(n.GetElements(count), before);
}

}  // namespace
