// Editing content: the node type through every edit, data text in each
// width, children added, replaced and deleted, tag builders and formatted
// text.
#include <gtest/gtest.h>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

using Edit = bool (*)(CXMLObject&);

CXMLObjectList OneNodeList() {
    CXMLObjectList l;
    l.Add(Node(u"x"));
    return l;
}

TEST(Editing, TypeFollowsTheContent) {
    const Edit addChild = [](CXMLObject& n) { return bool(n.Add(Node(u"c"))); };
    const Edit addData = [](CXMLObject& n) { return n.Add(PS(u"d")); };
    const Edit deleteElements = [](CXMLObject& n) { return n.DeleteElements(); };
    const Edit deleteData = [](CXMLObject& n) { return n.DeleteData(); };
    const Edit deleteFirst = [](CXMLObject& n) { return n.Delete(n.item(0u)); };
    const Edit insertChild = [](CXMLObject& n) { return bool(n.Insert(Node(u"i"), 0)); };
    const Edit deleteContent = [](CXMLObject& n) {
        return n.DeleteContent() && n.IsNamedDefault();
    };
    const Edit setEmptyList = [](CXMLObject& n) { return n.Set(CXMLObjectList()); };
    const Edit setList = [](CXMLObject& n) { return n.Set(OneNodeList()); };
    const Edit addList = [](CXMLObject& n) { return n.Add(OneNodeList()); };
    const std::vector<std::pair<Edit, unsigned int>> cases[] = {
        // edit, type afterwards
        {{addChild, 1}, {addData, 3}, {deleteElements, 2}, {deleteData, 0}},
        {{addData, 2}, {insertChild, 3}, {deleteData, 1}, {deleteElements, 0}},
        {{addChild, 1}, {deleteFirst, 1}, {deleteElements, 1}},
        {{addChild, 1}, {addData, 3}, {deleteFirst, 3}, {deleteData, 0}},
        {{addData, 2}, {setEmptyList, 0}},
        {{addData, 2}, {setList, 1}},
        {{addData, 2}, {addList, 3}},
        {{deleteContent, 0}, {addChild, 1}, {addData, 3}, {deleteContent, 0}},
    };
    for (const auto& steps : cases) {
        CXMLObject n = Node(u"n");
        for (std::size_t i = 0; i < steps.size(); ++i) {
            EXPECT_TRUE(steps[i].first(n)) << "case " << &steps - cases << " step " << i;
            EXPECT_EQ(n.GetType(), steps[i].second) << "case " << &steps - cases << " step " << i;
        }
    }
}

TEST(Editing, DataTextByWidth) {
    CXMLObject n = Node(u"n");
    EXPECT_TRUE(n.Add(PS(u"")));  // only a pooled text may be empty, and it stores nothing
    EXPECT_FALSE(n.Add("") || n.Add(W(u"")) || n.Add(static_cast<const char*>(nullptr)) ||
                 n.Add(static_cast<const unsigned short*>(nullptr)));
    EXPECT_TRUE(n.IsNamedDefault());
    EXPECT_TRUE(n.Add(PS(u"first")));
    EXPECT_FALSE(n.Add(PS(u"second")));  // one data text per node
    EXPECT_TRUE(n.Set(PS(u"second")));
    EXPECT_EQ(Text(n.GetData()), u"second");
    // An empty text clears the node whatever its width; only a pooled one is accepted.
    for (int width = 0; width < 3; ++width) {
        CXMLObject m = Node(u"m");
        m.Add(Node(u"c"));
        m.Add(PS(u"d"));
        EXPECT_EQ(width == 0 ? m.Set("") : width == 1 ? m.Set(W(u"")) : m.Set(PS(u"")), width == 2);
        EXPECT_EQ(m.GetType(), CXML_TYPE_EMPTY) << width;
    }
    CXMLObject w = Node(u"w");
    EXPECT_TRUE(w.Set(W(u"wide")));
    EXPECT_TRUE(w.Set(static_cast<const unsigned short*>(w.GetData())));  // its own text
    EXPECT_EQ(Text(w.GetData()), u"wide");
}

TEST(Editing, InsertReplaceDeleteSetAndCAdd) {
    CXMLObject n = Node(u"n");
    n.Add(Node(u"a"));
    n.Add(Node(u"b"));
    EXPECT_EQ(n.Insert(Node(u"z"), 7).uIndex(), 2u);
    EXPECT_FALSE(n.Insert(CXMLObject(), 0));
    const std::int64_t bodies = GetXMLObjectBodyCount();
    EXPECT_FALSE(n.Replace(Node(u"r"), 3));
    EXPECT_EQ(n.Replace(Node(u"r"), 0).uIndex(), 0u);
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies);  // "a" destroyed, "r" held
    EXPECT_EQ(n.Replace(Node(u"s"), n.item(1u)).uIndex(), 1u);
    CXMLObject elsewhere = *n.item(2u);  // same body, other address
    EXPECT_FALSE(n.Replace(Node(u"t"), &elsewhere));
    EXPECT_FALSE(n.Delete(&elsewhere));
    EXPECT_TRUE(n.Delete(n.item(2u)));
    EXPECT_EQ(n.GetContent(), PS(u"<n><r/><s/></n>"));
    EXPECT_EQ(n.Set(*n.item(1u)).uIndex(), 0u);  // the child outlives the clearing
    EXPECT_EQ(n.GetContent(), PS(u"<n><s/></n>"));
    // A node is never its own child.
    EXPECT_FALSE(n.Add(n) || n.Insert(n, 0) || n.Set(n) || n.Replace(n, 0));
    EXPECT_EQ(n.GetContent(), PS(u"<n><s/></n>"));
    // CAdd skips nodes without list blocks.
    CXMLObject dataOnly = Node(u"d"), withAttribute = Node(u"w");
    dataOnly.Add(PS(u"x"));
    withAttribute.AddAttribute(PS(u"a"), PS(u"1"));
    for (const CXMLObject& skipped : {dataOnly, Node(u"bare"), CXMLObject()})
        EXPECT_TRUE(n.CAdd(skipped));
    EXPECT_EQ(n.GetContent(), PS(u"<n><s/></n>"));
    EXPECT_TRUE(n.CAdd(withAttribute));
    EXPECT_EQ(n.item(1u)->GetName(), withAttribute.GetName());
}

TEST(TagBuilders, NamesAndValuesThatFailLeaveTheNode) {
    CXMLObject n = Node(u"n");
    const tagXMLFLAGMAP map[] = {{1, PS(u"one")}};
    EXPECT_FALSE(n.AddTag(PS(u"1a"), u"x") || n.AddTag(PS(u""), 1.0) || n.AddTag(PS(u"a"), u""));
    EXPECT_FALSE(n.SetTag(PS(u"a"), static_cast<const unsigned short*>(nullptr)) ||
                 n.AddTag(PS(u"a"), timecode()) || n.AddTag(PS(u"a"), 0, map, 1, '|'));
    EXPECT_TRUE(n.IsNamedDefault());
    EXPECT_FALSE(CXMLObject().SetTag(PS(u"a"), true));
    EXPECT_TRUE(n.item(n.AddTag(PS(u"a"), PS(u"")))->IsNamedDefault());
    const unsigned char bytes[] = {1};
    EXPECT_EQ(n.AddTag(PS(u"c"), bytes, 0).uIndex(), 1u);  // no bytes: no data

    ASSERT_EQ(n.SetTag(PS(u"b"), u"5").uIndex(), 0u);
    EXPECT_EQ(n.FindElementInt(PS(u"b"), 0), 5);
    EXPECT_FALSE(n.SetTag(PS(u"9"), true));  // fails before removing anything
    ASSERT_EQ(n.SetTag(PS(u"f"), filetime(77)).uIndex(), 0u);
    EXPECT_EQ(n.FindElementFileTime(PS(u"f"), filetime()), filetime(77));
    EXPECT_EQ(n.GetNElements(CPPoolString()), 1u);
    ASSERT_TRUE(n.Add(u"text"));
    EXPECT_FALSE(n.printfTag(PS(u"t"), W(u"%d"), 1));  // beside data only AddTag adds
    ASSERT_TRUE(n.AddTag(PS(u"t"), true));
    EXPECT_EQ(n.GetType(), CXML_TYPE_PROCESS);
}

TEST(FormattedText, LengthLimitAddingRefusesAndReplacingReplaces) {
    for (const auto& [format, accepted] :
         {std::pair{u"%2047s", true}, std::pair{u"%2048s", false}, std::pair{u"%n", false}}) {
        CXMLObject n = Node(u"n");
        EXPECT_EQ(n.printf(W(format), W(u"x")), accepted);
        EXPECT_EQ(n.GetData().len(), accepted ? 2047u : 0u);
    }
    CXMLObject n = Node(u"n");
    ASSERT_TRUE(n.printf(W(u"%d-%s"), 42, W(u"x")));
    EXPECT_EQ(Text(n.GetData()), u"42-x");
    EXPECT_FALSE(n.printf(W(u"%d"), 1));
    ASSERT_TRUE(n.Sprintf(W(u"%I64u"), std::uint64_t{18446744073709551615u}));
    EXPECT_EQ(n.GetDataLUInt(0), 18446744073709551615u);
    EXPECT_FALSE(n.Sprintf(W(u"%s"), W(u"")));  // removes, then refuses the empty text
    EXPECT_TRUE(n.IsNamedDefault());
    EXPECT_FALSE(CXMLObject().printf(W(u"x")));

    ASSERT_TRUE(n.printfAttribute(PS(u"a"), W(u"%u"), 7u));
    ASSERT_TRUE(n.printfAttribute(PS(u"b"), W(u"%x"), 255u));
    EXPECT_FALSE(n.printfAttribute(PS(u"a"), W(u"%u"), 8u) ||
                 n.printfAttribute(PS(u"1a"), W(u"%u"), 8u));
    EXPECT_EQ(n.FindAttributeHex(PS(u"b"), 0), 255u);
    ASSERT_TRUE(n.SprintfAttribute(PS(u"a"), W(u"%s!"), n.FindAttributeString(PS(u"a"), nullptr)));
    EXPECT_EQ(n.FindAttribute(PS(u"a")), PS(u"7!"));
    EXPECT_FALSE(n.SprintfAttribute(PS(u"b"), W(u"%n")));  // the old one stays removed
    EXPECT_FALSE(n.HasAttribute(PS(u"b")));
}

}  // namespace
