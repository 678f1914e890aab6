// The parser hands each element its children in one block when the element
// ends: the tree, the capacities and the memory figures must be those that
// adding the same nodes one by one produces.
#include <gtest/gtest.h>

#include <string>

#include "parser_test_support.h"

namespace tqcore {
namespace {

using parsertest::Tree;
using parsertest::U16;
using parsertest::Wide;

// A copy of `node` made with the node operations, in document order.
CXMLObject Rebuild(const CXMLObject& node) {
    CXMLObject copy(node.GetName());
    unsigned int count = 0;
    const CXMLAttribute* attribs = node.GetAttributes(count);
    for (unsigned int i = 0; i < count; ++i)
        EXPECT_TRUE(copy.AddAttribute(attribs[i].GetName(), attribs[i].GetValue()));
    if (const CPPoolString data = CXMLObjectTestAccess::Data(node); data) {
        EXPECT_TRUE(copy.Add(data));
    }
    const CXMLObject* children = CXMLObjectTestAccess::Children(node, count);
    for (unsigned int i = 0; i < count; ++i) EXPECT_TRUE(copy.Add(Rebuild(children[i])));
    return copy;
}

struct Figures {
    std::uint64_t used = 0, spare = 0;
};
Figures MemUsage(const CXMLObject& node) {
    Figures f;
    node.GetMemUsage(f.used, f.spare);
    return f;
}

// `n` children of kinds cycling through empty, data, nested and attributed,
// with data before them when `leadingData`.
std::string Document(unsigned int n, bool leadingData) {
    std::string text = leadingData ? "<r>lead" : "<r>";
    static const char* const kKinds[] = {"<e/>", "<d>t</d>", "<n><e/><e/><e/></n>", "<a k='v'/>"};
    for (unsigned int i = 0; i < n; ++i) text += kKinds[i % 4];
    return text + "</r>";
}

TEST(GatheredChildren, CapacitiesAndFiguresMatchAddingOneByOne) {
    for (unsigned int n : {0u, 1u, 2u, 3u, 4u, 5u, 8u, 9u, 17u, 40u, 41u, 296u, 297u, 700u})
        for (bool leadingData : {false, true}) {
            SCOPED_TRACE(std::to_string(n) + (leadingData ? " after data" : ""));
            CXMLDoc doc;
            ASSERT_TRUE(CXMLDocTestAccess::Parse(doc, Wide(U16(Document(n, leadingData)))).parsed);
            CXMLObject parsed = doc.GetContent();
            const CXMLObject built = Rebuild(parsed);
            EXPECT_EQ(Tree(parsed), Tree(built));
            const Figures a = MemUsage(parsed), b = MemUsage(built);
            EXPECT_EQ(a.used, b.used);
            EXPECT_EQ(a.spare, b.spare);
            const CXMLObject* r = parsed.item(0u);
            ASSERT_TRUE(r);
            EXPECT_EQ(r->GetType(), built.item(0u)->GetType());
            // Growth goes on from the same capacity.
            const CXMLObject extra(CPPoolString(u"x"));
            CXMLObject(*r).Add(extra);
            CXMLObject(*built.item(0u)).Add(extra);
            EXPECT_EQ(MemUsage(parsed).spare, MemUsage(built).spare);
        }
}

// A failing end tag or a missing one leaves gathered children behind: they
// go with the document and nothing of it stays alive.
TEST(GatheredChildren, APartialTreeIsReleasedWhole) {
    const std::int64_t bodies = GetXMLObjectBodyCount();
    for (const char* text :
         {"<r><a/><b><c/><d/></b><e/></q>", "<r><a/><b><c/><d/>", "<r><a/><b><c/></x>"}) {
        CXMLDoc doc;
        EXPECT_FALSE(CXMLDocTestAccess::Parse(doc, Wide(U16(text))).parsed) << text;
        EXPECT_EQ(GetXMLObjectBodyCount(), bodies) << text;
    }
}

}  // namespace
}  // namespace tqcore
