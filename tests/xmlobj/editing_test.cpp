#include <gtest/gtest.h>

#include "tqxml/xmlout.h"
#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

using Edit = bool (*)(CXMLObject&);

bool AddChild(CXMLObject& n) {
    return static_cast<bool>(n.Add(Node(u"c")));
}
bool AddData(CXMLObject& n) {
    return n.Add(PS(u"d"));
}
bool DeleteElements(CXMLObject& n) {
    return n.DeleteElements();
}
bool DeleteData(CXMLObject& n) {
    return n.DeleteData();
}
bool DeleteFirst(CXMLObject& n) {
    return n.Delete(n.item(0u));
}
bool SetEmptyList(CXMLObject& n) {
    return n.Set(CXMLObjectList());
}
bool InsertChild(CXMLObject& n) {
    return static_cast<bool>(n.Insert(Node(u"i"), 0));
}
bool DeleteContent(CXMLObject& n) {
    return n.DeleteContent() && n.IsNamedDefault();
}
bool SetList(CXMLObject& n) {
    CXMLObjectList l;
    l.Add(Node(u"x"));
    return n.Set(l);
}
bool AddList(CXMLObject& n) {
    CXMLObjectList l;
    l.Add(Node(u"x"));
    return n.Add(l);
}

TEST(Editing, TypeFollowsTheContent) {
    struct Case {
        const char* what;
        std::vector<std::pair<Edit, unsigned int>> steps;  // edit, type afterwards
    };
    const Case cases[] = {
        {"child then data", {{AddChild, 1}, {AddData, 3}, {DeleteElements, 2}, {DeleteData, 0}}},
        {"data then child", {{AddData, 2}, {InsertChild, 3}, {DeleteData, 1}, {DeleteElements, 0}}},
        {"last child deleted", {{AddChild, 1}, {DeleteFirst, 1}, {DeleteElements, 1}}},
        {"data after last child deleted",
         {{AddChild, 1}, {AddData, 3}, {DeleteFirst, 3}, {DeleteData, 0}}},
        {"empty list set", {{AddData, 2}, {SetEmptyList, 0}}},
        {"list set over data", {{AddData, 2}, {SetList, 1}}},
        {"list added to data", {{AddData, 2}, {AddList, 3}}},
        {"content deleted", {{DeleteContent, 0}, {AddChild, 1}, {AddData, 3}, {DeleteContent, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CXMLObject n = Node(u"n");
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            EXPECT_TRUE(c.steps[i].first(n)) << "step " << i;
            EXPECT_EQ(n.GetType(), c.steps[i].second) << "step " << i;
        }
    }
}

TEST(Editing, DataTextByWidth) {
    CXMLObject n = Node(u"n");
    EXPECT_TRUE(n.Add(PS(u"")));  // only a pooled text may be empty, and it stores nothing
    EXPECT_FALSE(n.Add(""));
    EXPECT_FALSE(n.Add(W(u"")));
    EXPECT_FALSE(n.Add(static_cast<const char*>(nullptr)));
    EXPECT_FALSE(n.Add(static_cast<const unsigned short*>(nullptr)));
    EXPECT_TRUE(n.IsNamedDefault());
    EXPECT_TRUE(n.Add(PS(u"first")));
    EXPECT_FALSE(n.Add(PS(u"second")));  // one data text per node
    EXPECT_FALSE(n.Add("second"));
    EXPECT_TRUE(n.Set(PS(u"second")));
    EXPECT_EQ(Text(n.GetData()), u"second");

    // An empty text clears the node whatever its width; only a pooled one is accepted.
    for (int width = 0; width < 3; ++width) {
        CXMLObject m = Node(u"m");
        m.Add(Node(u"c"));
        m.Add(PS(u"d"));
        EXPECT_EQ(width == 0   ? m.Set("")
                  : width == 1 ? m.Set(W(u""))
                               : m.Set(PS(u"")),
                  width == 2)
            << width;
        EXPECT_EQ(m.GetType(), CXML_TYPE_EMPTY) << width;
        EXPECT_EQ(m.item(0u), nullptr) << width;
    }

    CXMLObject a = Node(u"a"), u = Node(u"u"), w = Node(u"w");
    EXPECT_TRUE(a.Add("caf\xE9 \x80"));
    EXPECT_TRUE(
        CXMLObjectTestAccess::addUtf8(u, reinterpret_cast<const unsigned char*>("caf\xC3\xA9")));
    EXPECT_TRUE(w.Set(W(u"wide")));
    EXPECT_EQ(Text(a.GetData()), u"caf\u00E9 \u20AC");  // the ANSI code page is Windows-1252
    EXPECT_EQ(Text(u.GetData()), u"caf\u00E9");
    EXPECT_TRUE(w.Set(static_cast<const unsigned short*>(w.GetData())));  // its own text
    EXPECT_EQ(Text(w.GetData()), u"wide");
}

TEST(Editing, InsertReplaceAndDelete) {
    CXMLObject n = Node(u"n");
    n.Add(Node(u"a"));
    n.Add(Node(u"b"));
    EXPECT_EQ(n.Insert(Node(u"z"), 7).uIndex(), 2u);
    EXPECT_FALSE(n.Insert(CXMLObject(), 0));
    EXPECT_FALSE(n.Add(CXMLObject()));

    const std::int64_t bodies = GetXMLObjectBodyCount();
    EXPECT_FALSE(n.Replace(Node(u"r"), 3));
    EXPECT_EQ(n.Replace(Node(u"r"), 0).uIndex(), 0u);
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies);  // "a" destroyed, "r" held
    EXPECT_TRUE(n.item(0u)->IsName(PS(u"r")));

    EXPECT_EQ(n.Replace(Node(u"s"), n.item(1u)).uIndex(), 1u);
    CXMLObject elsewhere = *n.item(2u);  // same body, other address
    EXPECT_FALSE(n.Replace(Node(u"t"), &elsewhere));
    EXPECT_FALSE(n.Replace(Node(u"t"), static_cast<CXMLObject*>(nullptr)));
    EXPECT_FALSE(n.Delete(&elsewhere));
    EXPECT_TRUE(n.Delete(n.item(2u)));
    unsigned int count;
    n.GetElements(count);
    EXPECT_EQ(count, 2u);
    EXPECT_TRUE(elsewhere.IsName(PS(u"z")));
}

TEST(Editing, CAddSkipsNodesWithoutListBlocks) {
    CXMLObject n = Node(u"n"), dataOnly = Node(u"d"), withAttribute = Node(u"w");
    dataOnly.Add(PS(u"x"));
    withAttribute.AddAttribute(PS(u"a"), PS(u"1"));
    for (const CXMLObject& skipped : {dataOnly, Node(u"bare"), CXMLObject()})
        EXPECT_TRUE(n.CAdd(skipped));
    EXPECT_EQ(n.item(0u), nullptr);
    EXPECT_TRUE(n.CAdd(withAttribute));
    EXPECT_EQ(n.item(0u)->GetName(), withAttribute.GetName());
}

TEST(Editing, SetListSharesTheBlock) {
    CXMLObjectList list;
    list.Add(Node(u"x"));
    list.Add(Node(u"y"));
    CXMLObject n = Node(u"n");
    ASSERT_TRUE(n.Set(list));
    unsigned int count;
    list.GetArray(count)[1].Rename(PS(u"renamed"));
    list.Delete(0);
    EXPECT_TRUE(n.item(0u)->IsName(PS(u"renamed")));
    EXPECT_FALSE(n.Add(CXMLObjectList()));
}

TEST(Editing, SetNodeWithItsOwnChildReplaces) {
    CXMLObject n = Node(u"n");
    n.Add(Node(u"x"));
    n.Add(Node(u"y"));
    EXPECT_EQ(n.Set(*n.item(1u)).uIndex(), 0u);  // the child outlives the clearing
    unsigned int count;
    const CXMLObject* items = n.GetElements(count);
    ASSERT_EQ(count, 1u);
    EXPECT_TRUE(items[0].IsName(PS(u"y")));
    EXPECT_FALSE(n.Set(CXMLObject()));
}

TEST(Editing, ANodeIsNeverItsOwnChild) {
    CXMLObject a(PS(u"a")), b(PS(u"b"));
    EXPECT_FALSE(a.Add(a));
    EXPECT_FALSE(a.Insert(a, 0));
    EXPECT_FALSE(a.Set(a));
    ASSERT_TRUE(a.Add(b));
    EXPECT_FALSE(a.Replace(a, 0));
    EXPECT_EQ(a.GetType(), CXML_TYPE_ELEMENT);
    EXPECT_EQ(a.GetContent(), PS(u"<a><b/></a>"));
}

TEST(Editing, WalksStopOnACycleMadeThroughAChild) {
    // A chain deeper than the first stack block, closed into a ring.
    CXMLObject top(PS(u"top"));
    CXMLObject last = top;
    for (int i = 0; i < 500; ++i) {
        CXMLObject next(PS(u"n"));
        ASSERT_TRUE(last.Add(next));
        last = next;
    }
    ASSERT_TRUE(last.Add(top));
    std::uint64_t used = 0, spare = 0;
    top.GetMemUsage(used, spare);
    EXPECT_FALSE(top.Compact());
    CXMLObject copy = top;
    EXPECT_FALSE(copy.Realloc());
    CXMLMemOut sink;
    ASSERT_TRUE(sink.Open());
    EXPECT_FALSE(sink.Write(top));
    last.DeleteElements();  // opens the ring so the chain can go
}

}  // namespace
