// Typed value text forms: what the writers store, what the readers accept,
// round trips through data, attributes and child tags, and independence
// from the process locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <limits>
#include <vector>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

CXMLObject DataNode(const char16_t* text) {
    CXMLObject n = Node(u"n");
    n.Add(text);
    return n;
}

std::uint64_t Bits(double d) {
    std::uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

TEST(ValueReaders, IntegerAndDoubleTexts) {
    struct Case {
        const char16_t* text;
        double (*read)(const CXMLObject&);
        double expected;
    };
    const double tiniest = std::numeric_limits<double>::denorm_min();
    const Case cases[] = {
        {u"42abc", [](const CXMLObject& n) { return double(n.GetDataInt(7)); }, 42},
        {u"abc", [](const CXMLObject& n) { return double(n.GetDataInt(7)); }, 7},
        {u"-5", [](const CXMLObject& n) { return double(n.GetDataInt(7)); }, -5},
        {u"4294967295", [](const CXMLObject& n) { return double(n.GetDataUInt(7)); }, 4294967295.0},
        {u"-9000000000", [](const CXMLObject& n) { return double(n.GetDataLInt(7)); }, -9e9},
        {u"9000000000x", [](const CXMLObject& n) { return double(n.GetDataLUInt(7)); }, 9e9},
        {u"ff", [](const CXMLObject& n) { return double(n.GetDataHex(7)); }, 255},
        {u"zz", [](const CXMLObject& n) { return double(n.GetDataHex(7)); }, 7},
        {u"3ff8000000000000(1.5)", [](const CXMLObject& n) { return n.GetDataEDouble(7); }, 1.5},
        {u"1.5", [](const CXMLObject& n) { return n.GetDataEDouble(7); }, tiniest},
        {u"q", [](const CXMLObject& n) { return n.GetDataEDouble(7); }, 7},
        {u"3ff8000000000000(1.5)", [](const CXMLObject& n) { return n.GetDataDouble(7); }, 3.0},
        {u"2.25", [](const CXMLObject& n) { return n.GetDataDouble(7); }, 2.25},
        {u"-1,5", [](const CXMLObject& n) { return n.GetDataDouble(7); }, -1.0},
        {u"x", [](const CXMLObject& n) { return n.GetDataDouble(7); }, 7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Bits(c.read(DataNode(c.text))), Bits(c.expected))
            << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
    }
    EXPECT_EQ(DataNode(u"18446744073709551615").GetDataLUInt(7),
              std::numeric_limits<std::uint64_t>::max());
}

TEST(ValueReaders, BooleansGuidsFileTimesTimecodes) {
    EXPECT_TRUE(DataNode(u"TRUE").GetDataBool(false));
    EXPECT_FALSE(DataNode(u"False").GetDataBool(true));
    EXPECT_TRUE(DataNode(u"1").GetDataBool(true));
    EXPECT_FALSE(DataNode(u"1").GetDataBool(false));

    CGUID fallback;
    fallback = u"{00000000-0000-0000-0000-000000000001}";
    CGUID parsed = DataNode(u"{6B29FC40-CA47-1067-B31D-00DD010662DA}").GetDataGUID(fallback);
    EXPECT_EQ(parsed.Data1, 0x6B29FC40u);
    // Present text that does not parse gives a null GUID, not the default.
    EXPECT_EQ(DataNode(u"nonsense").GetDataGUID(fallback), GUID_NULL);
    EXPECT_EQ(Node(u"n").GetDataGUID(fallback), fallback);

    EXPECT_EQ(DataNode(u"zz").GetDataFileTime(filetime(5)), filetime(0));
    EXPECT_EQ(DataNode(u"1F").GetDataFileTime(filetime(5)), filetime(0x1F));

    const timecode fallbackTc(1, 2, 3, 4);
    EXPECT_EQ(DataNode(u"10:20:30:15").GetDataTimecode(fallbackTc), timecode(10, 20, 30, 15));
    EXPECT_EQ(DataNode(u"not a timecode").GetDataTimecode(fallbackTc), fallbackTc);
}

TEST(ValueReaders, ByteTexts) {
    struct Case {
        const char16_t* text;
        unsigned int size;  // GetDataBinarySize
        std::vector<unsigned char> bytes;
    };
    const Case cases[] = {
        {u"F10A", 2, {0x1F, 0xA0}},     {u"f10a", 2, {0x1F, 0xA0}},
        {u"F1 0A", 0, {0x1F, 0xA0}},    {u"F1  0A", 3, {0x1F, 0xA0}},
        {u" F 1\n0A", 0, {0x1F, 0xA0}}, {u"F10", 0, {0x1F}},
        {u"F1G0", 0, {0x1F}},           {u"G", 0, {}},
    };
    for (const Case& c : cases) {
        const CXMLObject n = DataNode(c.text);
        unsigned char buffer[8] = {};
        EXPECT_EQ(n.GetDataBinarySize(), c.size);
        const unsigned int stored = n.GetDataBinary(buffer, sizeof buffer);
        EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + stored), c.bytes);
    }
    unsigned char one[2] = {0, 0x55};
    EXPECT_EQ(DataNode(u"F10A").GetDataBinary(one, 1), 1u);
    EXPECT_EQ(one[0], 0x1F);
    EXPECT_EQ(one[1], 0x55);
}

// A node with both children and data is no data node, but GetDataBool reads
// it; an empty handle refuses every writer but the one given no bytes.
TEST(ValueReaders, ProcessNodesAndEmptyHandles) {
    CXMLObject process = DataNode(u"true");
    process.Add(Node(u"c"));
    ASSERT_EQ(process.GetType(), CXML_TYPE_PROCESS);
    CXMLObject numeric = DataNode(u"12");
    numeric.Add(Node(u"c"));
    const CXMLObject empty;
    for (const CXMLObject* n : {static_cast<const CXMLObject*>(&numeric), &empty}) {
        EXPECT_EQ(n->GetDataInt(7), 7);
        EXPECT_EQ(n->GetDataDouble(7), 7);
        EXPECT_EQ(n->GetDataEDouble(7), 7);
        EXPECT_EQ(n->GetDataTimecode(timecode(1, 1, 1, 1)), timecode(1, 1, 1, 1));
        EXPECT_EQ(n->GetDataFileTime(filetime(9)), filetime(9));
        EXPECT_EQ(n->GetDataFlags(nullptr, 0, '|'), 0u);
    }
    EXPECT_TRUE(process.GetDataBool(false));
    EXPECT_TRUE(empty.GetDataBool(true));
    EXPECT_EQ(empty.GetDataBinarySize(), 0u);

    CXMLObject none;
    const unsigned char bytes[] = {1};
    const tagXMLFLAGMAP map[] = {{1, PS(u"one")}};
    EXPECT_FALSE(none.Add(true));
    EXPECT_FALSE(none.Set(CGUID()));
    EXPECT_FALSE(none.Add(filetime(1)));
    EXPECT_FALSE(none.Set(timecode(1, 2, 3, 4)));
    EXPECT_FALSE(none.Set(1.0));
    EXPECT_FALSE(none.Add(mtime(1.0)));
    EXPECT_FALSE(none.Add(bytes, 1));
    EXPECT_FALSE(none.Set(1, map, 1, '|'));
    EXPECT_FALSE(none.AddAttribute(PS(u"a"), 1.0));
    EXPECT_FALSE(none.SetAttribute(PS(u"a"), false));
    EXPECT_TRUE(none.Add(bytes, 0));
    EXPECT_TRUE(none.Set(nullptr, 5));
}

TEST(AttributeReaders, MissingEmptyAndCommaValues) {
    CXMLObject n = Node(u"n");
    ASSERT_TRUE(n.AddAttribute(PS(u"empty"), u""));
    ASSERT_TRUE(n.AddAttribute(PS(u"comma"), u"2,25"));
    ASSERT_TRUE(n.AddAttribute(PS(u"num"), u"42abc"));
    const unsigned short* fallback = W(u"dflt");
    EXPECT_EQ(n.FindAttributeInt(PS(u"missing"), 7), 7);
    EXPECT_EQ(n.FindAttributeInt(PS(u"empty"), 7), 7);
    EXPECT_EQ(n.FindAttributeInt(PS(u"num"), 7), 42);
    EXPECT_EQ(n.FindAttributeString(PS(u"missing"), fallback), fallback);
    const unsigned short* emptyText = n.FindAttributeString(PS(u"empty"), fallback);
    ASSERT_NE(emptyText, nullptr);
    EXPECT_EQ(*emptyText, 0);
    EXPECT_EQ(n.FindAttributeDouble(PS(u"comma"), 7), 2.25);
    EXPECT_EQ(n.FindAttributeDouble(PS(u"empty"), 7), 7);
    EXPECT_EQ(n.FindAttributeGUID(PS(u"missing"), CGUID()), GUID_NULL);
    EXPECT_EQ(n.FindAttributeBool(PS(u"empty"), true), true);
}

TEST(DataWriters, TextFormsAndAddingVersusSetting) {
    CXMLObject n = Node(u"n");
    ASSERT_TRUE(n.Add(1.5));
    EXPECT_EQ(Text(n.GetData()), u"3ff8000000000000(1.5)");
    EXPECT_FALSE(n.Add(2.0));
    ASSERT_TRUE(n.Set(2.0));
    EXPECT_EQ(Text(n.GetData()), u"4000000000000000(2)");
    ASSERT_TRUE(n.Set(0.0));
    EXPECT_EQ(Text(n.GetData()), u"0(0)");
    ASSERT_TRUE(n.Set(mtime(-1234.5678)));  // four significant digits after the bits
    EXPECT_EQ(Text(n.GetData()), u"c0934a456d5cfaad(-1235)");
    ASSERT_TRUE(n.Set(true));
    EXPECT_EQ(n.GetData(), PS(u"true"));
    const unsigned char bytes[] = {0x1F, 0xA0};
    ASSERT_TRUE(n.Set(bytes, 2));
    EXPECT_EQ(Text(n.GetData()), u"F10A");
    EXPECT_FALSE(n.Set(timecode()));  // an undefined timecode has no text
    EXPECT_EQ(Text(n.GetData()), u"F10A");

    CXMLObject parent = Node(u"p");
    parent.Add(Node(u"c"));
    EXPECT_TRUE(parent.Set(bytes, 0));
    EXPECT_TRUE(parent.IsNamedDefault());
}

TEST(AttributeWriters, AddingRefusesAndSettingMovesToTheEnd) {
    CXMLObject n = Node(u"n");
    ASSERT_TRUE(n.AddAttribute(PS(u"flag"), false));
    ASSERT_TRUE(n.AddAttribute(PS(u"other"), u"x"));
    EXPECT_FALSE(n.AddAttribute(PS(u"flag"), true));
    EXPECT_FALSE(n.FindAttributeBool(PS(u"flag"), true));
    ASSERT_TRUE(n.SetAttribute(PS(u"flag"), true));
    unsigned int count;
    const CXMLAttribute* attributes = n.GetAttributes(count);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(attributes[1].GetName(), PS(u"flag"));
    EXPECT_EQ(attributes[1].GetValue(), PS(u"true"));
    EXPECT_FALSE(n.SetAttribute(PS(u"1flag"), 2.0));
    EXPECT_FALSE(n.AddAttribute(PS(u"a b"), u"x"));
    EXPECT_EQ(n.GetNAttributes(), 2u);
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

bool Same(double a, double b) {
    return Bits(a) == Bits(b);
}
bool Same(mtime a, mtime b) {
    return Bits(a) == Bits(b);
}
template <class T>
bool Same(const T& a, const T& b) {
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

TEST(RoundTrip, EveryTypedWriterReadsBack) {
    const double doubles[] = {0.0,
                              -0.0,
                              1.5,
                              -1e300,
                              1.0 / 3.0,
                              std::numeric_limits<double>::denorm_min(),
                              std::numeric_limits<double>::max(),
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::quiet_NaN()};
    for (double d : doubles) {
        ExpectRoundTrip(
            d, 7.0,
            Readers<double>{&CXMLObject::GetDataEDouble, &CXMLObject::FindAttributeEDouble,
                            &CXMLObject::FindElementEDouble});
        ExpectRoundTrip(mtime(d), mtime(7.0),
                        Readers<mtime>{&CXMLObject::GetDataMTime, &CXMLObject::FindAttributeMTime,
                                       &CXMLObject::FindElementMTime});
    }
    for (const char16_t* text :
         {u"{6B29FC40-CA47-1067-B31D-00DD010662DA}", u"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}"}) {
        CGUID g;
        g = text;
        ExpectRoundTrip(g, CGUID(),
                        Readers<CGUID>{&CXMLObject::GetDataGUID, &CXMLObject::FindAttributeGUID,
                                       &CXMLObject::FindElementGUID});
    }
    for (std::uint64_t v :
         {std::uint64_t{0}, std::uint64_t{1}, ~std::uint64_t{0}, std::uint64_t{0x01D9A2B3C4D5E6F7}})
        ExpectRoundTrip(
            filetime(v), filetime(42),
            Readers<filetime>{&CXMLObject::GetDataFileTime, &CXMLObject::FindAttributeFileTime,
                              &CXMLObject::FindElementFileTime});
    for (const timecode& t : {timecode(0, 0, 0, 0), timecode(23, 59, 59, 29, true)})
        ExpectRoundTrip(
            t, timecode(1, 2, 3, 4),
            Readers<timecode>{&CXMLObject::GetDataTimecode, &CXMLObject::FindAttributeTimecode,
                              &CXMLObject::FindElementTimecode});
    const Readers<bool> bools{&CXMLObject::GetDataBool, &CXMLObject::FindAttributeBool,
                              &CXMLObject::FindElementBool};
    ExpectRoundTrip(true, false, bools);
    ExpectRoundTrip(false, true, bools);
}

TEST(RoundTrip, ByteArraysOfEveryLength) {
    std::vector<unsigned char> bytes, back(301);
    for (unsigned int n = 0; n <= 300; ++n) {
        bytes.resize(n);
        for (unsigned int i = 0; i < n; ++i) bytes[i] = static_cast<unsigned char>(i * 37 + n);
        CXMLObject node = Node(u"n");
        ASSERT_TRUE(node.Add(bytes.data(), n));
        ASSERT_EQ(node.GetDataBinarySize(), n);
        ASSERT_EQ(node.GetDataBinary(back.data(), n), n);
        ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), back.begin())) << n;
        CXMLObject parent = Node(u"p");
        ASSERT_TRUE(parent.SetTag(PS(u"b"), bytes.data(), n));
        ASSERT_EQ(parent.item(0u)->GetDataBinary(back.data(), n), n);
    }
}

// Stored numbers use '.' whatever the process locale; only GetDataDouble
// also takes the locale's own separator.
TEST(NumberLocale, CommaDecimalProcessLocale) {
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (locale-gen de_DE.UTF-8)";
    struct RestoreC {
        ~RestoreC() { std::setlocale(LC_ALL, "C"); }
    } restore;
    CXMLObject n = Node(u"n");
    ASSERT_TRUE(n.Add(1.5));
    EXPECT_EQ(Text(n.GetData()), u"3ff8000000000000(1.5)");
    EXPECT_EQ(n.GetDataEDouble(0), 1.5);
    EXPECT_EQ(DataNode(u"1,5").GetDataDouble(7), 1.5);
    EXPECT_EQ(DataNode(u"1.5").GetDataDouble(7), 1.5);
    EXPECT_EQ(DataNode(u"-1,5").GetDataDouble(7), -1.0);
    ASSERT_TRUE(n.AddAttribute(PS(u"c"), u"2,25"));
    EXPECT_EQ(n.FindAttributeDouble(PS(u"c"), 7), 2.25);
    CXMLObject formatted = Node(u"f");
    ASSERT_TRUE(formatted.printf(W(u"%.2f|%g"), 1.5, 0.25));
    EXPECT_EQ(Text(formatted.GetData()), u"1.50|0.25");
}

}  // namespace
