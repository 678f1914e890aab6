#include <gtest/gtest.h>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

using Op = bool (*)(CXMLObject&);

TEST(NullHandle, EveryOperationAnswersWithoutANode) {
    struct Case {
        const char* op;
        Op call;
        bool result;
    };
    const Case cases[] = {
        {"operator bool", [](CXMLObject& n) { return bool(n); }, false},
        {"GetType", [](CXMLObject& n) { return n.GetType() == 0xFFFFFFFFu; }, true},
        {"GetName", [](CXMLObject& n) { return n.GetName().isnull(); }, true},
        {"GetData", [](CXMLObject& n) { return n.GetData().isnull(); }, true},
        {"IsDefault", [](CXMLObject& n) { return n.IsDefault(); }, true},
        {"IsNamedDefault", [](CXMLObject& n) { return n.IsNamedDefault(); }, false},
        {"IsName", [](CXMLObject& n) { return n.IsName(CPPoolString()); }, false},
        {"IsData", [](CXMLObject& n) { return n.IsData(CPPoolString()); }, false},
        {"Compact", [](CXMLObject& n) { return n.Compact(); }, true},
        {"Realloc", [](CXMLObject& n) { return n.Realloc(); }, true},
        {"Rename", [](CXMLObject& n) { return n.Rename(PS(u"ok")); }, false},
        {"item", [](CXMLObject& n) { return n.item(0u) == nullptr; }, true},
        {"AddAttribute", [](CXMLObject& n) { return n.AddAttribute(PS(u"a"), PS(u"1")); }, false},
        {"SetAttribute", [](CXMLObject& n) { return n.SetAttribute(PS(u"a"), PS(u"1")); }, false},
        {"DeleteAttribute", [](CXMLObject& n) { return n.DeleteAttribute(PS(u"a")); }, true},
        {"deleteAttribute",
         [](CXMLObject& n) { return CXMLObjectTestAccess::deleteAttribute(n, PS(u"a")); }, true},
        {"HasAttribute", [](CXMLObject& n) { return n.HasAttribute(PS(u"a")); }, false},
        {"FindAttribute", [](CXMLObject& n) { return n.FindAttribute(PS(u"a")).isnull(); }, true},
        {"GetNAttributes", [](CXMLObject& n) { return n.GetNAttributes() == 0; }, true},
        {"GetAttributes",
         [](CXMLObject& n) {
             unsigned c = 5;
             return !n.GetAttributes(c) && c == 0;
         },
         true},
        {"MergeAttributes", [](CXMLObject& n) { return n.MergeAttributes(Node(u"x"), true); },
         false},
        {"addAttribute",
         [](CXMLObject& n) { return CXMLObjectTestAccess::addAttribute(n, "a", "b"); }, false},
        {"Add node", [](CXMLObject& n) { return bool(n.Add(Node(u"x"))); }, false},
        {"Insert", [](CXMLObject& n) { return bool(n.Insert(Node(u"x"), 0)); }, false},
        {"CAdd", [](CXMLObject& n) { return n.CAdd(Node(u"x")); }, false},
        {"Set list", [](CXMLObject& n) { return n.Set(CXMLObjectList()); }, false},
        {"Add pooled", [](CXMLObject& n) { return n.Add(PS(u"x")); }, false},
        {"Set pooled", [](CXMLObject& n) { return n.Set(PS(u"x")); }, false},
        {"Set narrow", [](CXMLObject& n) { return n.Set("x"); }, false},
        {"Add mtime", [](CXMLObject& n) { return n.Add(mtime(1.0)); }, false},
        {"DeleteContent", [](CXMLObject& n) { return n.DeleteContent(); }, false},
        {"Reset",
         [](CXMLObject& n) {
             n.Reset();
             return bool(n);
         },
         false},
        {"Free",
         [](CXMLObject& n) {
             n.Free();
             return bool(n);
         },
         false},
        {"GetMemUsage",
         [](CXMLObject& n) {
             std::uint64_t u = 7, s = 9;
             n.GetMemUsage(u, s);
             return u + s == 16;
         },
         true},
    };
    ReportRecorder recorder;
    for (const Case& c : cases) {
        CXMLObject n;
        EXPECT_EQ(c.call(n), c.result) << c.op;
        EXPECT_FALSE(n) << c.op;
    }
    EXPECT_TRUE(recorder.reports().empty());

    // Only the deleters report a missing node.
    CXMLObject n;
    EXPECT_FALSE(n.Delete(nullptr));
    EXPECT_FALSE(n.DeleteElements());
    EXPECT_FALSE(n.DeleteData());
    ASSERT_EQ(recorder.reports().size(), 3u);
    ExpectReport(recorder.reports()[0], "m_pO", 1879, "Delete(");
    ExpectReport(recorder.reports()[1], "m_pO", 1899, "DeleteElements(");
    ExpectReport(recorder.reports()[2], "m_pO", 1921, "DeleteData(");
}

}  // namespace
