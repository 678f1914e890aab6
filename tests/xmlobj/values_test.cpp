// Typed values: the text forms the writers store, what the readers accept,
// round trips through data, attributes and child tags, flag texts and index
// lists.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <type_traits>
#include <vector>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

CXMLObject DataNode(const char16_t* text) {
    return xmlobj_test::DataNode(u"n", text);
}

std::uint64_t Bits(double d) {
    std::uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

TEST(ValueReaders, NumberTexts) {
    struct Case {
        const char16_t* text;
        double (*read)(const CXMLObject&);
        double expected;
    };
    const Case cases[] = {
        {u"42abc", [](const CXMLObject& n) { return double(n.GetDataInt(7)); }, 42},
        {u"4294967295", [](const CXMLObject& n) { return double(n.GetDataUInt(7)); }, 4294967295.0},
        {u"-9000000000", [](const CXMLObject& n) { return double(n.GetDataLInt(7)); }, -9e9},
        {u"ff", [](const CXMLObject& n) { return double(n.GetDataHex(7)); }, 255},
        {u"3ff8000000000000(1.5)", [](const CXMLObject& n) { return n.GetDataEDouble(7); }, 1.5},
        {u"1.5", [](const CXMLObject& n) { return n.GetDataEDouble(7); }, 4.9406564584124654e-324},
        {u"2.25", [](const CXMLObject& n) { return n.GetDataDouble(7); }, 2.25},
        {u"-1,5", [](const CXMLObject& n) { return n.GetDataDouble(7); }, -1.0},
        {u"x", [](const CXMLObject& n) { return n.GetDataDouble(7); }, 7},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Bits(c.read(DataNode(c.text))), Bits(c.expected))
            << testing::PrintToString(std::u16string(c.text));
}

TEST(ValueReaders, ByteTexts) {
    // text, GetDataBinarySize, the bytes read
    const std::tuple<const char16_t*, unsigned int, std::vector<unsigned char>> cases[] = {
        {u"F10A", 2, {0x1F, 0xA0}},     {u"f10a", 2, {0x1F, 0xA0}},
        {u"F1 0A", 0, {0x1F, 0xA0}},    {u"F1  0A", 3, {0x1F, 0xA0}},
        {u" F 1\n0A", 0, {0x1F, 0xA0}}, {u"F10", 0, {0x1F}},
        {u"F1G0", 0, {0x1F}},           {u"G", 0, {}},
    };
    for (const auto& [text, size, bytes] : cases) {
        const CXMLObject n = DataNode(text);
        unsigned char buffer[8] = {};
        EXPECT_EQ(n.GetDataBinarySize(), size);
        const unsigned int stored = n.GetDataBinary(buffer, sizeof buffer);
        EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + stored), bytes);
    }
    unsigned char one[2] = {0, 0x55};
    EXPECT_EQ(DataNode(u"F10A").GetDataBinary(one, 1), 1u);
    EXPECT_EQ(one[1], 0x55);
}

// Fallbacks: a missing or empty text gives the default, present text that
// does not parse mostly does not.
TEST(Readers, MissingEmptyCommaAndMalformedTexts) {
    EXPECT_TRUE(DataNode(u"TRUE").GetDataBool(false));
    EXPECT_FALSE(DataNode(u"False").GetDataBool(true));
    CGUID fallback;
    fallback = u"{00000000-0000-0000-0000-000000000001}";
    EXPECT_EQ(DataNode(u"nonsense").GetDataGUID(fallback), GUID_NULL);
    EXPECT_EQ(Node(u"n").GetDataGUID(fallback), fallback);
    EXPECT_EQ(DataNode(u"zz").GetDataFileTime(filetime(5)), filetime(0));
    const timecode fallbackTc(1, 2, 3, 4);
    EXPECT_EQ(DataNode(u"not a timecode").GetDataTimecode(fallbackTc), fallbackTc);

    CXMLObject n = Node(u"n");
    ASSERT_TRUE(n.AddAttribute(PS(u"empty"), u"") && n.AddAttribute(PS(u"comma"), u"2,25"));
    const unsigned short* text = W(u"dflt");
    EXPECT_EQ(n.FindAttributeInt(PS(u"missing"), 7) + n.FindAttributeInt(PS(u"empty"), 7), 14);
    EXPECT_EQ(n.FindAttributeString(PS(u"missing"), text), text);
    EXPECT_EQ(*n.FindAttributeString(PS(u"empty"), text), 0);
    EXPECT_EQ(n.FindAttributeDouble(PS(u"comma"), 7), 2.25);  // a comma always separates here
    EXPECT_EQ(n.FindAttributeDouble(PS(u"empty"), 7), 7);
    EXPECT_EQ(n.FindAttributeBool(PS(u"empty"), true), true);
}

TEST(Writers, TextFormsAndRefusedNames) {
    CXMLObject n = Node(u"n");
    ASSERT_TRUE(n.Add(1.5));
    EXPECT_EQ(Text(n.GetData()), u"3ff8000000000000(1.5)");
    ASSERT_TRUE(n.Set(mtime(-1234.5678)));  // four significant digits after the bits
    EXPECT_EQ(Text(n.GetData()), u"c0934a456d5cfaad(-1235)");
    const unsigned char bytes[] = {0x1F, 0xA0};
    ASSERT_TRUE(n.Set(bytes, 2));
    EXPECT_EQ(Text(n.GetData()), u"F10A");
    EXPECT_FALSE(n.Set(timecode()));  // an undefined timecode has no text
    EXPECT_EQ(Text(n.GetData()), u"F10A");
    CXMLObject parent = Node(u"p");
    ASSERT_TRUE(parent.SetTag(PS(u"b"), bytes, 2));
    unsigned char back[2] = {};
    EXPECT_EQ(parent.item(0u)->GetDataBinary(back, 2), 2u);
    EXPECT_EQ(back[1], 0xA0);

    ASSERT_TRUE(n.AddAttribute(PS(u"other"), u"x"));
    EXPECT_FALSE(n.SetAttribute(PS(u"1flag"), 2.0) || n.AddAttribute(PS(u"a b"), u"x"));
    // The value may be the text of the attribute being replaced.
    ASSERT_TRUE(n.SetAttribute(PS(u"other"), n.FindAttributeString(PS(u"other"), nullptr)));
    EXPECT_EQ(n.FindAttribute(PS(u"other")), PS(u"x"));
}

// The readers of one type: of the data, of an attribute, of a child.
template <class T>
struct Readers {
    T (CXMLObject::*data)(T) const;
    T (CXMLObject::*attribute)(const CPPoolString&, T) const;
    T (CXMLObject::*element)(const CPPoolString&, T) const;
};

// Floating values by their bits, so that NaN and -0 compare too.
template <class T>
bool Same(const T& a, const T& b) {
    if constexpr (std::is_same_v<T, double> || std::is_same_v<T, mtime>) return Bits(a) == Bits(b);
    return a == b;
}

// The value through the data, an attribute and a child tag, read back by
// the matching reader.
template <class T>
void ExpectRoundTrip(const T& value, const T& fallback, const Readers<T>& read) {
    CXMLObject data = Node(u"n");
    ASSERT_TRUE(data.Add(value));
    EXPECT_TRUE(Same((data.*read.data)(fallback), value))
        << testing::PrintToString(Text(data.GetData()));
    ASSERT_TRUE(data.Set(value));
    EXPECT_TRUE(Same((data.*read.data)(fallback), value));
    CXMLObject holder = Node(u"h");
    ASSERT_TRUE(holder.AddAttribute(PS(u"a"), value));
    EXPECT_TRUE(Same((holder.*read.attribute)(PS(u"a"), fallback), value));
    ASSERT_TRUE(holder.SetAttribute(PS(u"a"), value));
    EXPECT_TRUE(Same((holder.*read.attribute)(PS(u"a"), fallback), value));
    ASSERT_TRUE(holder.AddTag(PS(u"e"), value));
    EXPECT_TRUE(Same((holder.*read.element)(PS(u"e"), fallback), value));
}

#define READERS(T, Name)                                              \
    Readers<T> {                                                      \
        &CXMLObject::GetData##Name, &CXMLObject::FindAttribute##Name, \
            &CXMLObject::FindElement##Name                            \
    }

TEST(RoundTrip, EveryTypedWriterReadsBack) {
    using L = std::numeric_limits<double>;
    for (double d : {0.0, -0.0, 1.0 / 3.0, -1e300, L::denorm_min(), L::max(), L::infinity(),
                     -L::quiet_NaN()}) {
        ExpectRoundTrip(d, 7.0, READERS(double, EDouble));
        ExpectRoundTrip(mtime(d), mtime(7.0), READERS(mtime, MTime));
    }
    CGUID g;
    g = u"{6B29FC40-CA47-1067-B31D-00DD010662DA}";
    ExpectRoundTrip(g, CGUID(), READERS(CGUID, GUID));
    for (std::uint64_t v : {std::uint64_t{0}, ~std::uint64_t{0}, std::uint64_t{0x01D9A2B3C4D5E6F7}})
        ExpectRoundTrip(filetime(v), filetime(42), READERS(filetime, FileTime));
    for (const timecode& t : {timecode(0, 0, 0, 0), timecode(23, 59, 59, 29, true)})
        ExpectRoundTrip(t, timecode(1, 2, 3, 4), READERS(timecode, Timecode));
    ExpectRoundTrip(true, false, READERS(bool, Bool));
    ExpectRoundTrip(false, true, READERS(bool, Bool));
}

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
    // flags, map, rows, text
    const std::tuple<std::uint32_t, const tagXMLFLAGMAP*, unsigned int, std::u16string> cases[] = {
        {0x13, map, 5, u"one|two|x"},        {0x107, map, 5, u"one|two|0x00000100"},
        {4, map, 5, u"<refused>"},  // swallowed bits leave the empty text
        {3, oneFirst, 2, u"one|0x00000002"}, {3, bothFirst, 2, u"both"},
        {3, nullptr, 2, u"<refused>"},       {3, map, 0, u"<refused>"},
    };
    for (const auto& [flags, rowsOf, rows, text] : cases)
        EXPECT_EQ(FlagText(flags, rowsOf, rows), text) << flags;
    // The text holds at most 2047 units.
    const std::u16string short1023(1023, u'h'), long1024(1024, u'l');
    const tagXMLFLAGMAP longNames[] = {
        {1, PS(short1023.c_str())}, {2, PS(short1023.c_str())}, {4, PS(long1024.c_str())}};
    EXPECT_EQ(FlagText(3, longNames, 3).size(), 2047u);
    EXPECT_EQ(FlagText(6, longNames, 3), u"<refused>");
}

TEST(FlagMaps, ReadingTokens) {
    const tagXMLFLAGMAP map[] = {{1, PS(u"a")}, {2, PS(u"a")}, {4, PS(u"b")}, {8, PS(u"")}};
    const std::pair<const char16_t*, std::uint32_t> cases[] = {
        {u"a|a", 3},  {u"a|a|a", 3},  {u"b||a", 5}, {u"0x100|b", 0x104}, {u"0X100", 0},
        {u"b |a", 1}, {u"0xzz|a", 1}, {u"", 0},     {u"c|A", 0},         {u"ab", 0},
    };
    for (const auto& [text, flags] : cases) {
        CXMLObject holder = Node(u"h");
        holder.AddAttribute(PS(u"f"), text);
        EXPECT_EQ(DataNode(text).GetDataFlags(map, 4, '|'), flags)
            << testing::PrintToString(std::u16string(text));
        EXPECT_EQ(holder.FindAttributeFlags(PS(u"f"), map, 4, '|'), flags);
    }
    EXPECT_EQ(DataNode(u"a").GetDataFlags(nullptr, 4, '|'), 0u);
}

TEST(FlagMaps, RoundTripAndRefusedWriters) {
    tagXMLFLAGMAP map[12];
    for (unsigned int i = 0; i < 12; ++i) {
        map[i].uFlag = 1u << (i * 2);  // every other bit named; the rest goes to 0x...
        map[i].Name = CStringPool::GetStringRef(W(std::u16string(1, char16_t(u'a' + i)).c_str()));
    }
    std::mt19937 random(7);
    for (int i = 0; i < 100; ++i) {
        const std::uint32_t flags = static_cast<std::uint32_t>(random()) | 1u;
        CXMLObject holder = Node(u"h");
        ASSERT_TRUE(holder.SetAttribute(PS(u"f"), flags, map, 12, ','));
        EXPECT_EQ(holder.FindAttributeFlags(PS(u"f"), map, 12, ','), flags);
        ASSERT_TRUE(holder.AddTag(PS(u"e"), flags, map, 12, ','));
        EXPECT_EQ(holder.FindElementFlags(PS(u"e"), map, 12, ','), flags);
    }
    CXMLObject n = Node(u"n");
    n.Add(Node(u"c"));
    EXPECT_FALSE(n.Set(0, map, 1, '|'));  // removes first, then refuses
    EXPECT_TRUE(n.IsNamedDefault());
    ASSERT_TRUE(n.AddAttribute(PS(u"f"), u"old"));
    EXPECT_FALSE(n.AddAttribute(PS(u"f"), 1, map, 1, '|'));
    EXPECT_FALSE(n.SetAttribute(PS(u"f"), 1, nullptr, 1, '|'));
    EXPECT_FALSE(n.HasAttribute(PS(u"f")));
}

TEST(IndexLists, WholeEntriesOnly) {
    const std::tuple<const char16_t*, const char16_t*, unsigned int> cases[] = {
        // word, list, index
        {u"bb", u"a|bb|c", 1},    {u"b", u"a|bb|c", 0xFFFFFFFFu}, {u"a", u"a|bb|c", 0},
        {u"c", u"a|bb|c", 2},     {u"bb", u"xbb|bb|", 1},         {u"c", u"a||c", 2},
        {u"a", u"", 0xFFFFFFFFu}, {u"ab", u"a", 0xFFFFFFFFu},
    };
    for (const auto& [word, text, index] : cases) {
        const unsigned short* list = W(text);
        EXPECT_EQ(Node(word).GetIndex(list, '|'), index)
            << testing::PrintToString(std::u16string(word));
        EXPECT_EQ(DataNode(word).GetDataIndex(list, '|'), index);
        CXMLObject holder = Node(u"h");
        holder.AddAttribute(PS(u"i"), word);
        holder.AddTag(PS(u"e"), word);
        EXPECT_EQ(holder.FindAttributeIndex(PS(u"i"), list, '|'), index);
        EXPECT_EQ(holder.FindElementIndex(PS(u"e"), list, '|'), index);
    }
    EXPECT_EQ(Node(u"a").GetIndex(nullptr, '|'), 0xFFFFFFFFu);
    EXPECT_EQ(CXMLObject().GetIndex(W(u"a"), '|'), 0xFFFFFFFFu);
}

}  // namespace
