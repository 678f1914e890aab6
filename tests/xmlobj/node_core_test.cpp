#include <gtest/gtest.h>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

TEST(NodeCore, NullHandleAnswers) {
    CXMLObject n;
    EXPECT_FALSE(n);
    EXPECT_EQ(n.GetType(), 0xFFFFFFFFu);
    EXPECT_TRUE(n.GetName().isnull());
    EXPECT_TRUE(n.IsDefault());
    EXPECT_FALSE(n.IsNamedDefault());
    EXPECT_TRUE(n.Compact());
    EXPECT_TRUE(n.Realloc());
    EXPECT_FALSE(n.IsName(CPPoolString()));
    EXPECT_FALSE(n.IsData(CPPoolString()));
    n.Reset();
    n.Free();
    EXPECT_FALSE(n);
    std::uint64_t used = 7, spare = 9;
    n.GetMemUsage(used, spare);
    EXPECT_EQ(used, 7u);
    EXPECT_EQ(spare, 9u);
}

TEST(NodeCore, EmptyNameIsReportedAndGivesANullHandle) {
    ReportRecorder recorder;
    CXMLObject n(CStringPool::GetStringRef(u""));
    EXPECT_FALSE(n);
    CXMLObject m(CPPoolString{});
    EXPECT_FALSE(m);
    ASSERT_EQ(recorder.reports().size(), 2u);
    const auto& r = recorder.reports()[0];
    EXPECT_EQ(r.expression, "pName");
    EXPECT_EQ(r.title, "Runtime assumption failed");
    EXPECT_EQ(r.file, "xmlobj");
    EXPECT_EQ(r.line, 339u);
    EXPECT_NE(r.function.find("setNameType"), std::string::npos) << r.function;
}

TEST(NodeCore, FactoryTextFormsWidenTheirCodePage) {
    CXMLObject n;
    ASSERT_TRUE(CXMLObjectTestAccess::setNameType(n, "Caf\xE9", 0));
    EXPECT_EQ(Text(n.GetName()), u"Caf\u00E9");
    ASSERT_TRUE(CXMLObjectTestAccess::setNameType(n, reinterpret_cast<const unsigned char*>("Caf\xC3\xA9"), 1));
    EXPECT_EQ(Text(n.GetName()), u"Caf\u00E9");
    EXPECT_EQ(n.GetType(), CXML_TYPE_ELEMENT);
    ASSERT_TRUE(CXMLObjectTestAccess::setNameType(n, W(u"<Main>"), CXML_TYPE_ELEMENT));
    EXPECT_EQ(Text(n.GetName()), u"<Main>");  // the factory applies no name rule

    ReportRecorder recorder;
    EXPECT_FALSE(CXMLObjectTestAccess::setNameType(n, static_cast<const char*>(nullptr), 0));
    EXPECT_FALSE(n);
    EXPECT_FALSE(CXMLObjectTestAccess::setNameType(n, "", 0));
    EXPECT_EQ(recorder.reports().size(), 2u);
}

TEST(NodeCore, DefaultStates) {
    struct Case {
        const char* what;
        void (*edit)(CXMLObject&);
    };
    const Case cases[] = {
        {"attribute", [](CXMLObject& n) { ASSERT_TRUE(n.AddAttribute(PS(u"a"), PS(u"v"))); }},
        {"child", [](CXMLObject& n) { ASSERT_TRUE(n.Add(Node(u"c"))); }},
        {"data", [](CXMLObject& n) { ASSERT_TRUE(n.Add(PS(u"text"))); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CXMLObject n = Node(u"n");
        EXPECT_TRUE(n.IsNamedDefault());
        EXPECT_FALSE(n.IsDefault());
        c.edit(n);
        EXPECT_FALSE(n.IsNamedDefault());
        EXPECT_FALSE(n.IsDefault());
        n.Reset();
        EXPECT_TRUE(n.IsNamedDefault());
    }
}

TEST(NodeCore, HandlesShareOneBody) {
    const std::int64_t bodies = GetXMLObjectBodyCount();
    {
        CXMLObject a = Node(u"a");
        CXMLObject b(a);
        CXMLObject c;
        c = a;
        c = c;  // self-assignment keeps the node
        EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 1);
        b.Add(PS(u"seen by all"));
        EXPECT_TRUE(a.IsData(PS(u"seen by all")));
        EXPECT_TRUE(c.IsName(PS(u"a")));
        a.Free();
        EXPECT_FALSE(a);
        EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 1);
        c = CXMLObject();
        EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 1);
        CXMLObject moved(std::move(b));
        EXPECT_FALSE(b);
        EXPECT_TRUE(moved.IsName(PS(u"a")));
    }
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies);
}

TEST(NodeCore, LastReleaseOfAParentReleasesItsChildren) {
    const std::int64_t bodies = GetXMLObjectBodyCount();
    CXMLObject kept = Node(u"kept");
    ASSERT_TRUE(kept.Add(Node(u"grandchild")));
    {
        CXMLObject parent = Node(u"parent");
        parent.Add(kept);
        parent.Add(Node(u"dropped"));
        EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 4);
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
    ASSERT_EQ(a.GetType(), CXML_TYPE_PROCESS);
    CXMLObject b = a;
    b.Reset();
    EXPECT_EQ(a.GetType(), CXML_TYPE_EMPTY);
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
    CXMLObject p3 = Node(u"p3");
    p3.Add(child);

    CXMLObject copy;
    copy.Reassign(p2);
    ASSERT_TRUE(copy);
    ASSERT_NE(copy.item(0u), nullptr);
    copy.item(0u)->SetAttribute(PS(u"k"), PS(u"changed"));
    copy.item(0u)->Add(Node(u"extra"));
    copy.Rename(PS(u"copy"));

    EXPECT_EQ(Text(child.FindAttribute(PS(u"k"))), u"v");
    EXPECT_EQ(child.item(0u), nullptr);
    EXPECT_EQ(Text(p1.GetName()), u"p");
    EXPECT_EQ(Text(p3.item(0u)->FindAttribute(PS(u"k"))), u"v");
    // Strings stay shared: the pooled name is the same entry.
    EXPECT_EQ(copy.item(0u)->GetName(), child.GetName());
}

TEST(NodeCore, ReallocCopiesSharedListBlocks) {
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

    CXMLObject alone = Node(u"alone");
    unsigned int n;
    alone.Add(Node(u"c"));
    const CXMLObject* before = alone.GetElements(n);
    ASSERT_TRUE(alone.Realloc());
    EXPECT_EQ(alone.GetElements(n), before);  // nothing shared, nothing copied
}

TEST(NodeCore, MemoryFigures) {
    CXMLObject lone = Node(u"lone");
    std::uint64_t used = 0, spare = 0;
    lone.GetMemUsage(used, spare);
    EXPECT_EQ(used, sizeof(CXMLObjectBody));
    EXPECT_EQ(spare, 0u);

    CXMLObject n = Node(u"n");
    for (int i = 0; i < 5; ++i) n.Add(Node(u"c"));  // capacity 8
    n.AddAttribute(PS(u"a"), PS(u"1"));
    used = spare = 0;
    n.GetMemUsage(used, spare);
    EXPECT_EQ(used, 6 * sizeof(CXMLObjectBody) + sizeof(CXMLAttribute));
    EXPECT_EQ(spare, 3 * sizeof(CXMLObject));

    ASSERT_TRUE(n.Compact());
    used = spare = 0;
    n.GetMemUsage(used, spare);
    EXPECT_EQ(spare, 0u);
    EXPECT_EQ(used, 6 * sizeof(CXMLObjectBody) + sizeof(CXMLAttribute));
}

TEST(NodeCore, InsertionResult) {
    EXPECT_FALSE(xmlret());
    EXPECT_EQ(xmlret().uIndex(), 0xFFFFFFFFu);
    EXPECT_TRUE(xmlret(0));
    EXPECT_EQ(xmlret(0).uIndex(), 0u);
    xmlret r;
    r = 5u;
    EXPECT_EQ(r.uIndex(), 5u);
    r = xmlret();
    EXPECT_FALSE(r);
}

TEST(NodeCore, TypeNames) {
    const char16_t* expected[] = {u"CXML_TYPE_EMPTY", u"CXML_TYPE_ELEMENT", u"CXML_TYPE_DATA",
                                  u"CXML_TYPE_PROCESS"};
    for (unsigned int t = 0; t < 4; ++t)
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(CXML_TYPE_NAMES[t])), expected[t]);
}

}  // namespace
