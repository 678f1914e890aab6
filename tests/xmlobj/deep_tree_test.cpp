#include <gtest/gtest.h>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

constexpr unsigned int kDepth = 1000000;

TEST(DeepTree, MillionLevelsReleaseMeasureCompactAndRealloc) {
    const std::int64_t bodies = GetXMLObjectBodyCount();
    {
        CXMLObject root = Chain(kDepth);
        ASSERT_EQ(GetXMLObjectBodyCount(), bodies + kDepth);

        std::uint64_t used = 0, spare = 0;
        root.GetMemUsage(used, spare);
        EXPECT_EQ(used, std::uint64_t(kDepth) * sizeof(CXMLObjectBody));
        EXPECT_EQ(spare, 0u);  // every list holds its one child at capacity 1

        for (const char16_t* name : {u"a", u"b", u"c", u"d", u"e"})
            root.item(0u)->AddAttribute(PS(name), PS(u"v"));  // capacity 8
        used = spare = 0;
        root.GetMemUsage(used, spare);
        EXPECT_EQ(spare, 3 * sizeof(CXMLAttribute));
        EXPECT_TRUE(root.Compact());
        used = spare = 0;
        root.GetMemUsage(used, spare);
        EXPECT_EQ(spare, 0u);
        EXPECT_EQ(used, std::uint64_t(kDepth) * sizeof(CXMLObjectBody) + 5 * sizeof(CXMLAttribute));

        CXMLObject copy = root;
        ASSERT_TRUE(copy.Realloc());  // the whole chain is shared: every body is copied
        EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 2 * std::int64_t(kDepth));
        unsigned int n;
        EXPECT_NE(copy.item(0u)->GetAttributes(n), root.item(0u)->GetAttributes(n));
    }
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies);
}

TEST(DeepTree, DroppingALargeTreeGivesEverythingBack) {
    const std::int64_t bodies = GetXMLObjectBodyCount();
    const std::size_t strings = CStringPool::GetCount();
    const std::int64_t blocks = CPObjectMemory::GetBlockCount();
    {
        CXMLObject root = Node(u"root");
        for (unsigned int i = 0; i < 20000; ++i) {
            CXMLObject item = Node(u"item");
            const std::u16string unique = u"value" + std::u16string(1, char16_t(u'A' + i % 26)) +
                                          std::u16string(1, char16_t(0x4E00 + i));
            item.AddAttribute(PS(u"id"), PS(unique.c_str()));
            item.Add(PS(unique.c_str()));
            item.Add(Node(u"leaf"));
            root.Add(item);
        }
        EXPECT_GT(CStringPool::GetCount(), strings + 19000);
        CXMLObject copy = root;
        copy.Realloc();
        copy.Compact();
    }
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies);
    EXPECT_EQ(CStringPool::GetCount(), strings);
    EXPECT_EQ(CPObjectMemory::GetBlockCount(), blocks);
}

}  // namespace
