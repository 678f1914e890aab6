// Child and attribute lists: growth, sharing, insertion and deletion, the
// attribute operations of a node, searches among children, counting,
// element paths and typed child lookup.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

// Capacity of a child list whose children are lone nodes.
unsigned int ChildCapacity(const CXMLObjectList& list) {
    const auto [used, spare] = MemUsage(list);
    return static_cast<unsigned int>(used / sizeof(CXMLObjectBody) + spare / sizeof(CXMLObject));
}

std::u16string Names(const CXMLObjectList& list) {
    unsigned int n;
    const CXMLObject* items = list.GetArray(n);
    std::u16string all;
    for (unsigned int i = 0; i < n; ++i) all += items[i] ? Text(items[i].GetName()) : u"-";
    return all;
}

std::u16string Attributes(const CXMLObject& n) {
    std::u16string all;
    unsigned int count;
    const CXMLAttribute* items = n.GetAttributes(count);
    for (unsigned int i = 0; i < count; ++i)
        all += Text(items[i].GetName()) + u"=" + Text(items[i].GetValue()) + u";";
    return all;
}

TEST(Lists, ChildGrowthSteps) {
    const std::pair<unsigned int, unsigned int> childSteps[] = {
        {1, 1}, {4, 4}, {5, 8}, {9, 16}, {17, 24}, {41, 296}, {296, 296}, {297, 552}};
    CXMLObjectList children;
    unsigned int added = 0;
    for (const auto& [count, capacity] : childSteps) {
        for (; added < count; ++added) ASSERT_EQ(children.Add(Node(u"c")).uIndex(), added);
        EXPECT_EQ(ChildCapacity(children), capacity) << count << " children";
    }
}

TEST(AttribList, PreallocOnlyWithoutABlockAndCompactOfASharedBlock) {
    CXMLAttribList list;
    ASSERT_TRUE(list.Prealloc(6));
    EXPECT_FALSE(list.Prealloc(2));
    list.Add(PS(u"a"), PS(u"1"));
    list.Add(PS(u"b"), PS(u"2"));
    CXMLAttribList other = list;
    ASSERT_TRUE(list.Compact());  // shared block: compaction copies
    EXPECT_EQ(AllocatedBytes(list), 2 * sizeof(CXMLAttribute));
    EXPECT_EQ(AllocatedBytes(other), 6 * sizeof(CXMLAttribute));
    unsigned int kept = 0;
    EXPECT_TRUE(other.GetArray(kept) && kept == 2);  // the other holder keeps its items
}

TEST(ObjectList, InsertAddAndDeleteReleaseOnlyTheListsHold) {
    const std::int64_t bodies = GetXMLObjectBodyCount();
    CXMLObject kept = Node(u"k");
    CXMLObjectList list;
    list.Add(kept);
    list.Add(Node(u"b"));
    EXPECT_EQ(list.Insert(Node(u"d"), 0).uIndex(), 0u);
    EXPECT_EQ(list.Insert(Node(u"e"), 99).uIndex(), 3u);
    EXPECT_EQ(list.Insert(CXMLObject(), 2).uIndex(), 2u);  // a null handle is stored as is
    EXPECT_EQ(Names(list), u"dk-be");
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 4);
    EXPECT_TRUE(list.Delete(5));
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(list.Delete(0));
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 1);
    unsigned int n = 7;
    EXPECT_TRUE(list.GetArray(n) == nullptr && n == 0);
    EXPECT_FALSE(list.HasBlock());

    CXMLObjectList source, target;
    source.Add(Node(u"x"));
    source.Add(Node(u"y"));
    target.Add(Node(u"w"));
    ASSERT_TRUE(target.Add(source));
    ASSERT_TRUE(target.Add(target));  // appending itself doubles it
    EXPECT_EQ(Names(target), u"wxywxy");
    // A handle from the list's own block survives the growth it causes.
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(target.Add(target.GetArray(n)[0]));
    EXPECT_EQ(Names(target), u"wxywxy" + std::u16string(50, u'w'));
}

TEST(Attributes, Merge) {
    CXMLObject from = Node(u"from");
    from.AddAttribute(PS(u"b"), PS(u"from-b"));
    from.AddAttribute(PS(u"c"), PS(u"from-c"));
    from.AddAttribute(PS(u"a"), PS(u"from-a"));
    for (const bool overwrite : {false, true}) {
        CXMLObject n = Node(u"n");
        n.AddAttribute(PS(u"a"), PS(u"1"));
        n.AddAttribute(PS(u"b"), PS(u"2"));
        EXPECT_TRUE(n.MergeAttributes(from, overwrite));
        EXPECT_EQ(Attributes(n), overwrite ? u"a=from-a;b=from-b;c=from-c;" : u"a=1;b=2;c=from-c;");
    }
    CXMLObject n = Node(u"n");
    EXPECT_TRUE(n.MergeAttributes(CXMLObject(), true));
    EXPECT_TRUE(n.MergeAttributes(from, false));
    EXPECT_TRUE(n.MergeAttributes(n, true));  // merging with itself changes nothing
    EXPECT_EQ(Attributes(n), u"b=from-b;c=from-c;a=from-a;");
}

// The public adders check the name; the private ones take it as it is and
// convert their text.
TEST(Attributes, AddersRefuseDuplicatesAndBadNamesAndConvertText) {
    CXMLObject n = Node(u"n");
    EXPECT_TRUE(n.AddAttribute(PS(u"a"), PS(u"1")));
    EXPECT_FALSE(n.AddAttribute(PS(u"a"), PS(u"9")) || n.AddAttribute(PS(u"z"), CPPoolString()));
    for (const char16_t* bad : {u"1st", u"", u"a b"})
        EXPECT_FALSE(n.AddAttribute(PS(bad), PS(u"v")) || n.SetAttribute(PS(bad), PS(u"w")) ||
                     n.DeleteAttribute(PS(bad)));
    using A = CXMLObjectTestAccess;
    EXPECT_TRUE(A::addAttribute(n, "ansi", "caf\xE9"));
    EXPECT_TRUE(A::addAttribute(n, reinterpret_cast<const unsigned char*>("utf8"),
                                reinterpret_cast<const unsigned char*>("caf\xC3\xA9")));
    EXPECT_TRUE(A::addAttribute(n, W(u"wide"), W(u"caf\u00E9")));
    EXPECT_TRUE(A::addAttribute(n, "empty", ""));
    EXPECT_FALSE(A::addAttribute(n, "", "v"));
    EXPECT_FALSE(A::addAttribute(n, static_cast<const char*>(nullptr), "v"));
    EXPECT_EQ(Attributes(n), u"a=1;ansi=caf\u00E9;utf8=caf\u00E9;wide=caf\u00E9;empty=;");
}

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
    EXPECT_EQ(writable.GetNElements(a), 3u);
    EXPECT_EQ(CXMLObject().GetNElements(CPPoolString()), 0u);
}

TEST(ElementPaths, SplittingWellAndMalformedPaths) {
    const std::pair<const char16_t*, std::vector<std::u16string>> cases[] = {
        {u" a / b ", {u"a", u"b"}},
        {u"a/b/", {u"a", u"b"}},
        {u"x:y/_z.1", {u"x:y", u"_z.1"}},
        {u"", {}},
        {u"a//b", {}},
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

// A path follows first children; a typed lookup reads the first child of the
// name only.
TEST(ElementPaths, FirstChildOfTheNameDecides) {
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
    EXPECT_EQ(root.FindFirstElement(nullptr), nullptr);

    root.AddTag(PS(u"n"), u"5");
    root.item(5u)->Add(Node(u"inner"));  // children and data: not read
    root.AddTag(PS(u"n"), u"42");
    root.AddTag(PS(u"m"), u"42");
    EXPECT_EQ(root.FindElementInt(PS(u"n"), 7), 7);
    EXPECT_EQ(root.FindElementInt(PS(u"m"), 7), 42);
    EXPECT_EQ(root.FindElementHex(PS(u"m"), 7), 0x42u);
    EXPECT_EQ(root.FindElementData(PS(u"n")), CPPoolString());
    EXPECT_EQ(root.FindElementData(PS(u"m")), PS(u"42"));
    const unsigned short* fallback = W(u"f");
    EXPECT_EQ(root.FindElementString(PS(u"n"), fallback), fallback);
    EXPECT_EQ(CXMLObject().FindElementInt(PS(u"m"), 7), 7);
}

}  // namespace
