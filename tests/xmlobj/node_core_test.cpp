#include <gtest/gtest.h>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

TEST(NodeCore, FactoryNamesWidenTheirCodePageAndEmptyNamesAreReported) {
    using A = CXMLObjectTestAccess;
    CXMLObject n;
    ASSERT_TRUE(A::setNameType(n, "Caf\xE9", 0));
    EXPECT_EQ(Text(n.GetName()), u"Caf\u00E9");
    ASSERT_TRUE(A::setNameType(n, reinterpret_cast<const unsigned char*>("Caf\xC3\xA9"), 1));
    EXPECT_EQ(Text(n.GetName()), u"Caf\u00E9");
    EXPECT_EQ(n.GetType(), CXML_TYPE_ELEMENT);
    ASSERT_TRUE(A::setNameType(n, W(u"<Main>"), CXML_TYPE_ELEMENT));
    EXPECT_EQ(Text(n.GetName()), u"<Main>");  // the factory applies no name rule

    ReportRecorder recorder;
    EXPECT_FALSE(CXMLObject(PS(u"")));
    EXPECT_FALSE(CXMLObject(CPPoolString{}));
    ASSERT_EQ(recorder.reports().size(), 2u);
    ExpectReport(recorder.reports()[0], "pName", 339, "setNameType");
    EXPECT_FALSE(A::setNameType(n, static_cast<const char*>(nullptr), 0));
    EXPECT_FALSE(n);
    EXPECT_FALSE(A::setNameType(n, "", 0));
    EXPECT_EQ(recorder.reports().size(), 4u);
}

TEST(NodeCore, HandlesShareOneBodyAndTheLastReleaseFreesItsChildren) {
    const std::int64_t bodies = GetXMLObjectBodyCount();
    CXMLObject kept = Node(u"kept");
    ASSERT_TRUE(kept.Add(Node(u"grandchild")));
    {
        CXMLObject a = Node(u"a");
        CXMLObject b(a), c;
        c = a;
        c = c;  // self-assignment keeps the node
        a.Add(kept);
        a.Add(Node(u"dropped"));
        EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 4);
        b.Add(PS(u"seen by all"));
        EXPECT_TRUE(a.IsData(PS(u"seen by all")));
        a.Free();
        c = CXMLObject();
        EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 4);
        CXMLObject moved(std::move(b));
        EXPECT_FALSE(b);
        EXPECT_TRUE(moved.IsName(PS(u"a")));
    }
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 2);
    ASSERT_NE(kept.item(0u), nullptr);
    EXPECT_TRUE(kept.item(0u)->IsName(PS(u"grandchild")));
}

TEST(NodeCore, ResetKeepsTheNameOnTheSharedBody) {
    CXMLObject a = Node(u"a");
    a.AddAttribute(PS(u"x"), PS(u"1"));
    a.Add(Node(u"c"));
    a.Add(PS(u"d"));
    EXPECT_FALSE(a.IsNamedDefault());
    CXMLObject b = a;
    b.Reset();
    EXPECT_TRUE(a.IsNamedDefault());
    EXPECT_FALSE(a.IsDefault());
    EXPECT_EQ(a.GetNAttributes(), 0u);
    EXPECT_EQ(a.item(0u), nullptr);
    EXPECT_TRUE(a.GetData().isnull());
    EXPECT_TRUE(a.IsName(PS(u"a")));
}

TEST(NodeCore, ReassignMakesThisParentsSubtreePrivate) {
    CXMLObject child = Node(u"child");
    child.AddAttribute(PS(u"k"), PS(u"v"));
    CXMLObject p1 = Node(u"p");
    p1.Add(child);
    CXMLObject p2 = p1;  // both handles on one parent
    CXMLObject copy;
    copy.Reassign(p2);
    ASSERT_NE(copy.item(0u), nullptr);
    copy.item(0u)->SetAttribute(PS(u"k"), PS(u"changed"));
    copy.item(0u)->Add(Node(u"extra"));
    copy.Rename(PS(u"copy"));

    EXPECT_EQ(Text(child.FindAttribute(PS(u"k"))), u"v");
    EXPECT_EQ(child.item(0u), nullptr);
    EXPECT_EQ(Text(p1.GetName()), u"p");
    // Strings stay shared: the pooled name is the same entry.
    EXPECT_EQ(copy.item(0u)->GetName(), child.GetName());
}

TEST(NodeCore, ReallocCopiesSharedListBlocksOnly) {
    CXMLObject a = Node(u"a");
    a.Add(Node(u"c"));
    a.AddAttribute(PS(u"x"), PS(u"1"));
    CXMLObject b = a;
    ASSERT_TRUE(b.Realloc());
    unsigned int na, nb;
    EXPECT_NE(a.GetElements(na), b.GetElements(nb));
    EXPECT_NE(a.GetAttributes(na), b.GetAttributes(nb));
    b.item(0u)->Rename(PS(u"only_b"));
    EXPECT_TRUE(a.item(0u)->IsName(PS(u"c")));

    const CXMLObject* before = b.GetElements(nb);
    ASSERT_TRUE(b.Realloc());
    EXPECT_EQ(b.GetElements(nb), before);  // nothing shared, nothing copied
}

}  // namespace
