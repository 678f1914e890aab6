// Searches among children, counting, element paths and typed child lookup.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

// Children: 0 a(k=1) "x", 1 b, 2 a "y", 3 a(k=2) with a child, 4 a(k=1).
CXMLObject Family() {
    CXMLObject root = Node(u"root");
    for (const char16_t* name : {u"a", u"b", u"a", u"a", u"a"}) root.Add(Node(name));
    root.item(0u)->AddAttribute(PS(u"k"), u"1");
    root.item(0u)->Add(u"x");
    root.item(2u)->Add(u"y");
    root.item(3u)->AddAttribute(PS(u"k"), u"2");
    root.item(3u)->Add(Node(u"c"));
    root.item(4u)->AddAttribute(PS(u"k"), u"1");
    return root;
}

using Step = std::function<const CXMLObject*(const CXMLObject&, const CXMLObject*)>;

std::vector<unsigned int> Walk(const CXMLObject& root, const Step& step) {
    std::vector<unsigned int> found;
    unsigned int count;
    const CXMLObject* first = root.GetElements(count);
    for (const CXMLObject* at = step(root, nullptr); at && found.size() <= count;
         at = step(root, at))
        found.push_back(static_cast<unsigned int>(at - first));
    return found;
}

TEST(ChildSearch, StepsForwardsAndBackwardsThroughMatches) {
    const CPPoolString a = PS(u"a"), k = PS(u"k"), one = PS(u"1"), x = PS(u"x");
    struct Case {
        Step next, prev;
        std::vector<unsigned int> forward;
    };
    const Case cases[] = {
        {[&](auto& r, auto* s) { return r.FindNextElement(a, s); },
         [&](auto& r, auto* s) { return r.FindPrevElement(a, s); },
         {0, 2, 3, 4}},
        {[&](auto& r, auto* s) { return r.FindNextElementData(a, x, s); },
         [&](auto& r, auto* s) { return r.FindPrevElementData(a, x, s); },
         {0}},
        {[&](auto& r, auto* s) { return r.FindNextElementType(a, CXML_TYPE_EMPTY, s); },
         [&](auto& r, auto* s) { return r.FindPrevElementType(a, CXML_TYPE_EMPTY, s); },
         {4}},
        {[&](auto& r, auto* s) { return r.FindNextElementAtt(a, k, s); },
         [&](auto& r, auto* s) { return r.FindPrevElementAtt(a, k, s); },
         {0, 3, 4}},
        {[&](auto& r, auto* s) { return r.FindNextElementAttVal(a, k, one, s); },
         [&](auto& r, auto* s) { return r.FindPrevElementAttVal(a, k, one, s); },
         {0, 4}},
    };
    const CXMLObject root = Family();
    for (const Case& c : cases) {
        EXPECT_EQ(Walk(root, c.next), c.forward) << c.forward.size();
        EXPECT_EQ(Walk(root, c.prev),
                  std::vector<unsigned int>(c.forward.rbegin(), c.forward.rend()));
        EXPECT_TRUE(Walk(CXMLObject(), c.next).empty());
    }
    CXMLObject writable = Family();
    CXMLObject* third = writable.FindNextElement(a, writable.item(0u));
    ASSERT_EQ(third, writable.item(2u));
    EXPECT_TRUE(third->Rename(PS(u"renamed")));  // the twin hands back a writable child
    EXPECT_EQ(writable.FindNextElement(a, root.item(0u)), nullptr);  // not from this list
    EXPECT_EQ(writable.GetNElements(CPPoolString()), 5u);
    EXPECT_EQ(writable.GetNElements(a), 3u);
    EXPECT_EQ(CXMLObject().GetNElements(CPPoolString()), 0u);
}

TEST(ElementPaths, SplittingWellAndMalformedPaths) {
    const std::pair<const char16_t*, std::vector<std::u16string>> cases[] = {
        {u" a / b ", {u"a", u"b"}},
        {u"a/b/", {u"a", u"b"}},
        {u"x:y/_z.1", {u"x:y", u"_z.1"}},
        {u"", {}},
        {u"/a", {}},
        {u"a//b", {}},
        {u"a[1]", {}},
        {u"a b", {}},
        {u"1a", {}},
        {u"a/ ", {}},
    };
    for (const auto& [path, expected] : cases) {
        const CPPoolStringArray split = CXMLObject::SplitElementPath(W(path), false);
        unsigned int count = 0;
        const CPPoolString* names = split.GetArray(count);
        std::vector<std::u16string> got;
        for (unsigned int i = 0; i < count; ++i) got.push_back(Text(names[i]));
        EXPECT_EQ(got, expected) << testing::PrintToString(std::u16string(path));
    }
    EXPECT_FALSE(CXMLObject::SplitElementPath(nullptr, true));
    // A query interns nothing.
    const std::size_t before = CStringPool::GetCount();
    EXPECT_EQ(Family().FindFirstElement(W(u"a/neverSeenNameQ7/neverSeenNameQ8")), nullptr);
    EXPECT_FALSE(CXMLObject::SplitElementPath(W(u"neverSeenNameQ9"), true));
    EXPECT_EQ(CStringPool::GetCount(), before);
}

TEST(ElementPaths, FirstElementFollowsFirstChildren) {
    CXMLObject root = Family();
    root.item(0u)->Add(Node(u"q"));  // beside data: the first a is a process node
    const CXMLObject* parent = &root;
    EXPECT_EQ(root.FindFirstElement(W(u"a / q"), &parent), root.item(0u)->item(0u));
    EXPECT_EQ(parent, root.item(0u));
    // The first a has no c; the later a that has one is not tried.
    EXPECT_EQ(root.FindFirstElement(W(u"a/c"), &parent), nullptr);
    EXPECT_EQ(parent, nullptr);
    CXMLObject* writable = nullptr;
    EXPECT_EQ(root.FindFirstElement(W(u"b"), &writable), root.item(1u));
    EXPECT_EQ(writable, &root);
    EXPECT_EQ(root.FindFirstElement(W(u"a//b")), nullptr);
    EXPECT_EQ(root.FindFirstElement(nullptr), nullptr);
    EXPECT_EQ(CXMLObject().FindFirstElement(W(u"a")), nullptr);
}

TEST(TypedLookup, FirstChildOfTheNameDecides) {
    CXMLObject root = Node(u"root");
    root.AddTag(PS(u"n"), u"5");
    root.item(0u)->Add(Node(u"inner"));  // children and data: not read
    root.AddTag(PS(u"n"), u"42");
    root.AddTag(PS(u"m"), u"42");
    EXPECT_EQ(root.FindElementInt(PS(u"n"), 7), 7);
    EXPECT_EQ(root.FindElementInt(PS(u"m"), 7), 42);
    EXPECT_EQ(root.FindElementHex(PS(u"m"), 7), 0x42u);
    EXPECT_EQ(root.FindElementInt(PS(u"missing"), 7), 7);
    EXPECT_EQ(root.FindElementData(PS(u"n")), CPPoolString());
    EXPECT_EQ(root.FindElementData(PS(u"m")), PS(u"42"));
    const unsigned short* fallback = W(u"f");
    EXPECT_EQ(root.FindElementString(PS(u"n"), fallback), fallback);
    EXPECT_EQ(root.FindElementIndex(PS(u"n"), W(u"5"), '|'), 0xFFFFFFFFu);
    EXPECT_EQ(CXMLObject().FindElementInt(PS(u"m"), 7), 7);
}

}  // namespace
