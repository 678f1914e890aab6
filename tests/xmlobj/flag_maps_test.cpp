// Flag texts written and read through caller maps, and index lists.
#include <gtest/gtest.h>

#include <random>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

// The flag text that Add stores, or "<refused>".
std::u16string FlagText(std::uint32_t flags, const tagXMLFLAGMAP* map, unsigned int rows) {
    CXMLObject n = Node(u"n");
    return n.Add(flags, map, rows, '|') ? Text(n.GetData()) : u"<refused>";
}

TEST(FlagMaps, WritingNamesAndRest) {
    const tagXMLFLAGMAP map[] = {
        {1, PS(u"one")}, {2, PS(u"two")}, {4, PS(u"")}, {0, PS(u"inert")}, {0x10, PS(u"x")}};
    const tagXMLFLAGMAP oneFirst[] = {{1, PS(u"one")}, {3, PS(u"both")}};
    const tagXMLFLAGMAP bothFirst[] = {{3, PS(u"both")}, {1, PS(u"one")}};
    struct Case {
        std::uint32_t flags;
        const tagXMLFLAGMAP* map;
        unsigned int rows;
        std::u16string text;
    };
    const Case cases[] = {
        {3, map, 5, u"one|two"},
        {0x13, map, 5, u"one|two|x"},
        {0x107, map, 5, u"one|two|0x00000100"},
        {4, map, 5, u"<refused>"},  // swallowed bits leave the empty text
        {0, map, 5, u"<refused>"},
        {0x80000000u, map, 5, u"0x80000000"},
        {3, oneFirst, 2, u"one|0x00000002"},
        {3, bothFirst, 2, u"both"},
        {3, nullptr, 2, u"<refused>"},
        {3, map, 0, u"<refused>"},
    };
    for (const Case& c : cases) EXPECT_EQ(FlagText(c.flags, c.map, c.rows), c.text) << c.flags;
}

TEST(FlagMaps, ReadingTokens) {
    const tagXMLFLAGMAP map[] = {{1, PS(u"a")}, {2, PS(u"a")}, {4, PS(u"b")}, {8, PS(u"")}};
    struct Case {
        const char16_t* text;
        std::uint32_t flags;
    };
    const Case cases[] = {
        {u"a", 1},     {u"a|a", 3},  {u"a|a|a", 3},  {u"b||a", 5}, {u"|b|", 4}, {u"0x100|b", 0x104},
        {u"0X100", 0}, {u"b |a", 1}, {u"0xzz|a", 1}, {u"", 0},     {u"c|A", 0}, {u"ab", 0},
    };
    for (const Case& c : cases) {
        CXMLObject n = Node(u"n");
        n.Add(c.text);
        CXMLObject holder = Node(u"h");
        holder.AddAttribute(PS(u"f"), c.text);
        EXPECT_EQ(n.GetDataFlags(map, 4, '|'), c.flags) << testing::PrintToString(Text(PS(c.text)));
        EXPECT_EQ(holder.FindAttributeFlags(PS(u"f"), map, 4, '|'), c.flags);
    }
    CXMLObject n = Node(u"n");
    n.Add(u"a");
    EXPECT_EQ(n.GetDataFlags(nullptr, 4, '|'), 0u);
    EXPECT_EQ(n.GetDataFlags(map, 0, '|'), 0u);
}

TEST(FlagMaps, RoundTripWithTheSameMap) {
    tagXMLFLAGMAP map[12];
    for (unsigned int i = 0; i < 12; ++i) {
        map[i].uFlag = 1u << (i * 2);  // every other bit named; the rest goes to 0x...
        map[i].Name = CStringPool::GetStringRef(W(std::u16string(1, char16_t(u'a' + i)).c_str()));
    }
    std::mt19937 random(7);
    for (int i = 0; i < 500; ++i) {
        const std::uint32_t flags = static_cast<std::uint32_t>(random()) | 1u;
        CXMLObject n = Node(u"n");
        ASSERT_TRUE(n.Add(flags, map, 12, ','));
        EXPECT_EQ(n.GetDataFlags(map, 12, ','), flags) << testing::PrintToString(Text(n.GetData()));
        CXMLObject holder = Node(u"h");
        ASSERT_TRUE(holder.SetAttribute(PS(u"f"), flags, map, 12, ','));
        EXPECT_EQ(holder.FindAttributeFlags(PS(u"f"), map, 12, ','), flags);
        ASSERT_TRUE(holder.AddTag(PS(u"e"), flags, map, 12, ','));
        EXPECT_EQ(holder.FindElementFlags(PS(u"e"), map, 12, ','), flags);
    }
}

TEST(FlagMaps, WritersRefuseWithoutChangingAddedContent) {
    const tagXMLFLAGMAP map[] = {{1, PS(u"one")}};
    CXMLObject n = Node(u"n");
    n.Add(Node(u"c"));
    EXPECT_FALSE(n.Add(0, map, 1, '|'));
    EXPECT_EQ(n.GetType(), CXML_TYPE_ELEMENT);
    EXPECT_FALSE(n.Set(0, map, 1, '|'));  // removes first, then refuses
    EXPECT_TRUE(n.IsNamedDefault());
    ASSERT_TRUE(n.AddAttribute(PS(u"f"), u"old"));
    EXPECT_FALSE(n.AddAttribute(PS(u"f"), 1, map, 1, '|'));
    EXPECT_FALSE(n.SetAttribute(PS(u"f"), 1, nullptr, 1, '|'));
    EXPECT_FALSE(n.HasAttribute(PS(u"f")));
}

TEST(IndexLists, WholeEntriesOnly) {
    struct Case {
        const char16_t* word;
        const char16_t* list;
        unsigned int index;
    };
    const Case cases[] = {
        {u"bb", u"a|bb|c", 1}, {u"b", u"a|bb|c", 0xFFFFFFFFu}, {u"a", u"a|bb|c", 0},
        {u"c", u"a|bb|c", 2},  {u"bb", u"bbb|bb", 1},          {u"bb", u"xbb|bb|", 1},
        {u"c", u"a||c", 2},    {u"a", u"", 0xFFFFFFFFu},       {u"ab", u"a", 0xFFFFFFFFu},
    };
    for (const Case& c : cases) {
        const unsigned short* list = W(c.list);
        EXPECT_EQ(Node(c.word).GetIndex(list, '|'), c.index)
            << testing::PrintToString(Text(PS(c.word)));
        CXMLObject data = Node(u"n");
        data.Add(c.word);
        EXPECT_EQ(data.GetDataIndex(list, '|'), c.index);
        CXMLObject holder = Node(u"h");
        holder.AddAttribute(PS(u"i"), c.word);
        holder.AddTag(PS(u"e"), c.word);
        EXPECT_EQ(holder.FindAttributeIndex(PS(u"i"), list, '|'), c.index);
        EXPECT_EQ(holder.FindElementIndex(PS(u"e"), list, '|'), c.index);
    }
    CXMLObject process = Node(u"n");
    process.Add(u"a");
    process.Add(Node(u"c"));
    EXPECT_EQ(process.GetDataIndex(W(u"a|b"), '|'), 0xFFFFFFFFu);
    EXPECT_EQ(Node(u"a").GetIndex(nullptr, '|'), 0xFFFFFFFFu);
    EXPECT_EQ(CXMLObject().GetIndex(W(u"a"), '|'), 0xFFFFFFFFu);
    EXPECT_EQ(Node(u"h").FindAttributeIndex(PS(u"none"), W(u"a"), '|'), 0xFFFFFFFFu);
}

}  // namespace
