#include <gtest/gtest.h>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

using Edit = bool (*)(CXMLObject&);

bool AddChild(CXMLObject& n) { return static_cast<bool>(n.Add(Node(u"c"))); }
bool AddData(CXMLObject& n) { return n.Add(PS(u"d")); }
bool DeleteElements(CXMLObject& n) { return n.DeleteElements(); }
bool DeleteData(CXMLObject& n) { return n.DeleteData(); }
bool DeleteFirst(CXMLObject& n) { return n.Delete(n.item(0u)); }
bool SetEmptyList(CXMLObject& n) { return n.Set(CXMLObjectList()); }
bool InsertChild(CXMLObject& n) { return static_cast<bool>(n.Insert(Node(u"i"), 0)); }

TEST(Editing, TypeFollowsTheContent) {
    struct Case {
        const char* what;
        std::vector<std::pair<Edit, unsigned int>> steps;  // edit, type afterwards
    };
    const Case cases[] = {
        {"child then data", {{AddChild, 1}, {AddData, 3}, {DeleteElements, 2}, {DeleteData, 0}}},
        {"data then child", {{AddData, 2}, {InsertChild, 3}, {DeleteData, 1}, {DeleteElements, 0}}},
        {"last child deleted", {{AddChild, 1}, {DeleteFirst, 1}, {DeleteElements, 1}}},
        {"data after last child deleted", {{AddChild, 1}, {AddData, 3}, {DeleteFirst, 3}, {DeleteData, 0}}},
        {"empty list set", {{AddData, 2}, {SetEmptyList, 0}}},
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

TEST(Editing, ProcessNodeHidesDataAndElements) {
    CXMLObject n = Node(u"n");
    n.Add(Node(u"c"));
    n.Add(PS(u"text"));
    ASSERT_EQ(n.GetType(), CXML_TYPE_PROCESS);
    EXPECT_TRUE(n.GetData().isnull());
    unsigned int count;
    EXPECT_EQ(n.GetElements(count), nullptr);
    ASSERT_NE(n.item(0u), nullptr);
    EXPECT_TRUE(n.IsData(PS(u"text")));
}

TEST(Editing, OneDataTextPerNode) {
    CXMLObject n = Node(u"n");
    EXPECT_TRUE(n.Add(PS(u"first")));
    EXPECT_FALSE(n.Add(PS(u"second")));
    EXPECT_FALSE(n.Add("second"));
    EXPECT_EQ(Text(n.GetData()), u"first");
    EXPECT_TRUE(n.Set(PS(u"second")));
    EXPECT_EQ(Text(n.GetData()), u"second");
}

TEST(Editing, EmptyTextByWidth) {
    CXMLObject n = Node(u"n");
    EXPECT_TRUE(n.Add(PS(u"")));
    EXPECT_FALSE(n.Add(""));
    EXPECT_FALSE(n.Add(W(u"")));
    EXPECT_FALSE(n.Add(static_cast<const char*>(nullptr)));
    EXPECT_FALSE(n.Add(static_cast<const unsigned short*>(nullptr)));
    EXPECT_EQ(n.GetType(), CXML_TYPE_EMPTY);
    EXPECT_TRUE(n.IsNamedDefault());

    struct SetCase {
        const char* what;
        bool (*set)(CXMLObject&);
        bool result;
    };
    const SetCase sets[] = {
        {"narrow", [](CXMLObject& x) { return x.Set(""); }, false},
        {"wide", [](CXMLObject& x) { return x.Set(W(u"")); }, false},
        {"pooled", [](CXMLObject& x) { return x.Set(PS(u"")); }, true},
    };
    for (const SetCase& s : sets) {
        SCOPED_TRACE(s.what);
        CXMLObject m = Node(u"m");
        m.Add(Node(u"c"));
        m.Add(PS(u"d"));
        EXPECT_EQ(s.set(m), s.result);
        EXPECT_EQ(m.GetType(), CXML_TYPE_EMPTY);  // cleared either way
        EXPECT_EQ(m.item(0u), nullptr);
    }
}

TEST(Editing, TextWidths) {
    CXMLObject a = Node(u"a"), u = Node(u"u"), w = Node(u"w");
    EXPECT_TRUE(a.Add("caf\xE9 \x80"));
    EXPECT_TRUE(CXMLObjectTestAccess::addUtf8(u, reinterpret_cast<const unsigned char*>("caf\xC3\xA9")));
    EXPECT_TRUE(w.Set(W(u"wide")));
    EXPECT_EQ(Text(a.GetData()), u"caf\u00E9 \u20AC");  // the ANSI code page is Windows-1252
    EXPECT_EQ(Text(u.GetData()), u"caf\u00E9");
    EXPECT_EQ(Text(w.GetData()), u"wide");
    EXPECT_TRUE(w.Set(static_cast<const unsigned short*>(w.GetData())));  // its own text
    EXPECT_EQ(Text(w.GetData()), u"wide");
}

TEST(Editing, MediaTimeText) {
    CXMLObject n = Node(u"n");
    ASSERT_TRUE(n.Add(mtime(1.5)));
    EXPECT_EQ(Text(n.GetData()), u"3ff8000000000000(1.5)");
    CXMLObject m = Node(u"m");
    ASSERT_TRUE(m.Add(mtime(-1234.5678)));
    EXPECT_EQ(Text(m.GetData()), u"c0934a456d5cfaad(-1235)");
    EXPECT_FALSE(CXMLObject().Add(mtime(1.0)));
}

TEST(Editing, InsertReplaceAndDelete) {
    CXMLObject n = Node(u"n");
    n.Add(Node(u"a"));
    n.Add(Node(u"b"));
    EXPECT_EQ(n.Insert(Node(u"z"), 7).uIndex(), 2u);
    EXPECT_FALSE(n.Insert(CXMLObject(), 0));
    EXPECT_FALSE(n.Add(CXMLObject()));
    EXPECT_FALSE(CXMLObject().Add(Node(u"x")));

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
    CXMLObject n = Node(u"n");
    CXMLObject dataOnly = Node(u"d");
    dataOnly.Add(PS(u"x"));
    EXPECT_TRUE(n.CAdd(dataOnly));
    EXPECT_TRUE(n.CAdd(Node(u"bare")));
    EXPECT_TRUE(n.CAdd(CXMLObject()));
    EXPECT_EQ(n.item(0u), nullptr);
    CXMLObject withAttribute = Node(u"w");
    withAttribute.AddAttribute(PS(u"a"), PS(u"1"));
    EXPECT_TRUE(n.CAdd(withAttribute));
    EXPECT_EQ(n.item(0u)->GetName(), withAttribute.GetName());
    EXPECT_FALSE(CXMLObject().CAdd(withAttribute));
}

TEST(Editing, SetListSharesTheBlock) {
    CXMLObjectList list;
    list.Add(Node(u"x"));
    list.Add(Node(u"y"));
    CXMLObject n = Node(u"n");
    n.Add(PS(u"old data"));
    ASSERT_TRUE(n.Set(list));
    EXPECT_EQ(n.GetType(), CXML_TYPE_ELEMENT);
    unsigned int count;
    EXPECT_NE(n.GetElements(count), nullptr);
    EXPECT_EQ(count, 2u);
    EXPECT_TRUE(n.GetData().isnull());
    list.GetArray(count)[1].Rename(PS(u"renamed"));
    list.Delete(0);
    EXPECT_TRUE(n.item(0u)->IsName(PS(u"renamed")));
    EXPECT_FALSE(CXMLObject().Set(list));
}

TEST(Editing, AddListAppendsAndSetNodeReplaces) {
    CXMLObjectList list;
    list.Add(Node(u"x"));
    CXMLObject n = Node(u"n");
    EXPECT_FALSE(n.Add(CXMLObjectList()));
    ASSERT_TRUE(n.Add(list));
    EXPECT_EQ(n.GetType(), CXML_TYPE_ELEMENT);
    n.Add(Node(u"y"));
    // Set with its own child: the child outlives the clearing.
    CXMLObject* second = n.item(1u);
    EXPECT_EQ(n.Set(*second).uIndex(), 0u);
    unsigned int count;
    const CXMLObject* items = n.GetElements(count);
    ASSERT_EQ(count, 1u);
    EXPECT_TRUE(items[0].IsName(PS(u"y")));
    EXPECT_FALSE(n.Set(CXMLObject()));
}

TEST(Editing, NullHandleReports) {
    ReportRecorder recorder;
    CXMLObject n;
    EXPECT_FALSE(n.Delete(nullptr));
    EXPECT_FALSE(n.DeleteElements());
    EXPECT_FALSE(n.DeleteData());
    EXPECT_FALSE(n.DeleteContent());  // no report of its own
    ASSERT_EQ(recorder.reports().size(), 3u);
    const unsigned int lines[] = {1879, 1899, 1921};
    const char* functions[] = {"Delete(", "DeleteElements(", "DeleteData("};
    for (int i = 0; i < 3; ++i) {
        const auto& r = recorder.reports()[i];
        EXPECT_EQ(r.expression, "m_pO");
        EXPECT_EQ(r.title, "Runtime assumption failed");
        EXPECT_EQ(r.file, "xmlobj");
        EXPECT_EQ(r.line, lines[i]);
        EXPECT_NE(r.function.find(functions[i]), std::string::npos) << r.function;
    }
    EXPECT_FALSE(n.Set(PS(u"x")));
    EXPECT_FALSE(n.Set("x"));
    EXPECT_FALSE(n.Add(PS(u"x")));
    EXPECT_TRUE(n.GetData().isnull());
    EXPECT_EQ(recorder.reports().size(), 3u);
}

TEST(Editing, DeleteContent) {
    CXMLObject n = Node(u"n");
    EXPECT_TRUE(n.DeleteContent());
    n.Add(Node(u"c"));
    n.Add(PS(u"d"));
    EXPECT_TRUE(n.DeleteContent());
    EXPECT_EQ(n.GetType(), CXML_TYPE_EMPTY);
    EXPECT_TRUE(n.IsNamedDefault());
}

}  // namespace
