// The handler registry and the default handler's "BinaryDump" form.
#include <gtest/gtest.h>

#include <string>

#include "xmlprop/xmlprop_test_support.h"

namespace {

using namespace xmlprop_test;

bool GetFirst(CPProperty&, CXMLObject&) {
    return true;
}
bool SetFirst(CPProperty&, CXMLObject&) {
    return true;
}
bool GetSecond(CPProperty&, CXMLObject&) {
    return false;
}
bool SetSecond(CPProperty&, CXMLObject&) {
    return false;
}

const tagXMLPROPHANDLER kFirst{kGuidA, &GetFirst, &SetFirst};
const tagXMLPROPHANDLER kSecond{kGuidA, &GetSecond, &SetSecond};

const tagXMLPROPHANDLER* Default() {
    return CXMLPropHandler::GetDefHandler(kGuidB);
}

TEST(XmlPropHandlerTest, DefaultHandlerServesEveryGuidButNull) {
    ASSERT_NE(Default(), nullptr);
    EXPECT_EQ(Default()->pfnGetXMLContent, &CXMLPropHandler::GetXMLContent);
    EXPECT_EQ(Default()->pfnSetXMLContent, &CXMLPropHandler::SetXMLContent);
    EXPECT_EQ(CXMLPropHandler::FindHandler(kGuidA), Default());
    EXPECT_EQ(CXMLPropHandler::FindHandler(GUID_NULL), nullptr);
    EXPECT_EQ(CXMLPropHandler::GetDefHandler(GUID_NULL), nullptr);
}

TEST(XmlPropHandlerTest, RegistrationSteps) {
    struct Step {
        const char* what;
        bool registering;
        tagXMLPROPHANDLER handler;
        bool result;
        bool (*foundGet)(CPProperty&, CXMLObject&);  // null: the default handler
    };
    const Step steps[] = {
        {"null get function", true, {kGuidA, nullptr, &SetFirst}, false, nullptr},
        {"null set function", true, {kGuidA, &GetFirst, nullptr}, false, nullptr},
        {"unknown GUID", false, kFirst, false, nullptr},
        {"first functions", true, kFirst, true, &GetFirst},
        {"same again", true, kFirst, true, &GetFirst},
        {"later functions win", true, kSecond, true, &GetSecond},
        {"other functions stay", false, kFirst, true, &GetSecond},
        {"registered functions go", false, kSecond, true, nullptr},
        {"gone", false, kSecond, false, nullptr},
    };
    for (const Step& step : steps) {
        const bool result = step.registering ? CXMLPropHandler::Register(step.handler)
                                             : CXMLPropHandler::Unregister(step.handler);
        EXPECT_EQ(result, step.result) << step.what;
        const tagXMLPROPHANDLER* found = CXMLPropHandler::FindHandler(kGuidA);
        ASSERT_NE(found, nullptr) << step.what;
        if (step.foundGet) {
            EXPECT_NE(found, Default()) << step.what;
            EXPECT_EQ(found->pfnGetXMLContent, step.foundGet) << step.what;
            EXPECT_EQ(found->guidProperty, kGuidA) << step.what;
        } else {
            EXPECT_EQ(found, Default()) << step.what;
        }
    }
}

TEST(XmlPropHandlerTest, NullGuidIsFoundOnlyWhenRegistered) {
    const tagXMLPROPHANDLER handler{GUID_NULL, &GetFirst, &SetFirst};
    ASSERT_TRUE(CXMLPropHandler::Register(handler));
    const tagXMLPROPHANDLER* found = CXMLPropHandler::FindHandler(GUID_NULL);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->pfnSetXMLContent, &SetFirst);
    EXPECT_EQ(CXMLPropHandler::GetDefHandler(GUID_NULL), nullptr);
    EXPECT_TRUE(CXMLPropHandler::Unregister(handler));
    EXPECT_EQ(CXMLPropHandler::FindHandler(GUID_NULL), nullptr);
}

// More GUIDs than buckets: every one is found with its own functions, and
// the address of an entry holds while others come and go.
TEST(XmlPropHandlerTest, ManyGuidsShareTheBuckets) {
    constexpr std::uint32_t kGuids = 40;
    auto guid = [](std::uint32_t i) { return GUID{i + 1, 0x77, 0x88, {1, 2, 3, 4, 5, 6, 7, 8}}; };
    for (std::uint32_t i = 0; i < kGuids; ++i)
        ASSERT_TRUE(
            CXMLPropHandler::Register({guid(i), i % 2 ? &GetFirst : &GetSecond, &SetFirst}));
    const tagXMLPROPHANDLER* kept = CXMLPropHandler::FindHandler(guid(0));
    for (std::uint32_t i = 1; i < kGuids; i += 2)
        ASSERT_TRUE(CXMLPropHandler::Unregister({guid(i), &GetFirst, &SetFirst}));
    EXPECT_EQ(CXMLPropHandler::FindHandler(guid(0)), kept);
    for (std::uint32_t i = 0; i < kGuids; ++i) {
        const tagXMLPROPHANDLER* found = CXMLPropHandler::FindHandler(guid(i));
        if (i % 2) {
            EXPECT_EQ(found, Default()) << i;
        } else {
            ASSERT_NE(found, Default()) << i;
            EXPECT_EQ(found->guidProperty, guid(i)) << i;
            EXPECT_TRUE(CXMLPropHandler::Unregister(*found)) << i;
        }
    }
}

CXMLObject DumpNode(const char16_t* type, const char16_t* size, const char16_t* data) {
    CXMLObject node = Node(u"Property");
    if (type) node.AddAttribute(PS(u"PropertyStorageType"), PS(type));
    if (size) node.AddAttribute(PS(u"PropertyStorageSize"), PS(size));
    if (data) node.Add(W(data));
    return node;
}

TEST(XmlPropHandlerTest, BinaryDumpWritesLowDigitFirst) {
    CPProperty prop = RawProperty({0x12, 0xAB});
    CXMLObject node = Node(u"Property");
    ASSERT_TRUE(CXMLPropHandler::GetXMLContent(prop, node));
    EXPECT_EQ(Text(node.FindAttribute(PS(u"PropertyStorageType"))), u"BinaryDump");
    EXPECT_EQ(Text(node.FindAttribute(PS(u"PropertyStorageSize"))), u"2");
    EXPECT_EQ(Text(node.GetData()), u"21BA");
}

TEST(XmlPropHandlerTest, EmptyPayloadHasSizeZeroAndNoData) {
    CPProperty prop = RawProperty({});
    CXMLObject node = Node(u"Property");
    ASSERT_TRUE(CXMLPropHandler::GetXMLContent(prop, node));
    EXPECT_EQ(Text(node.FindAttribute(PS(u"PropertyStorageSize"))), u"0");
    EXPECT_TRUE(node.GetData().isnull());

    CPProperty back = RawProperty({1});
    EXPECT_TRUE(CXMLPropHandler::SetXMLContent(back, node));
    EXPECT_EQ(back.GetSize(), 0u);
    EXPECT_TRUE(back.IsPropertyID(7, kGuidB)) << "the type tags are the caller's";
}

TEST(XmlPropHandlerTest, BinaryDumpRoundTrips) {
    std::vector<unsigned char> every(256);
    for (unsigned int i = 0; i < every.size(); ++i) every[i] = static_cast<unsigned char>(i);
    for (const std::vector<unsigned char>& bytes :
         {std::vector<unsigned char>{0x00}, std::vector<unsigned char>{0xFF, 0x0F, 0xF0}, every}) {
        CPProperty prop = RawProperty(bytes);
        CXMLObject node = Node(u"Property");
        ASSERT_TRUE(CXMLPropHandler::GetXMLContent(prop, node));
        CPProperty back;
        ASSERT_TRUE(CXMLPropHandler::SetXMLContent(back, node)) << bytes.size();
        EXPECT_EQ(Payload(back), bytes);
    }
}

TEST(XmlPropHandlerTest, BinaryDumpReading) {
    struct Case {
        const char* what;
        const char16_t* type;
        const char16_t* size;
        const char16_t* data;
        std::vector<unsigned char> payload;  // empty: false expected
    };
    const Case cases[] = {
        {"lower-case digits", u"BinaryDump", u"2", u"21ba", {0x12, 0xAB}},
        {"characters after the bytes", u"BinaryDump", u"1", u"21zz", {0x12}},
        {"other storage type", u"Hex", u"1", u"21", {}},
        {"storage type of other case", u"binarydump", u"1", u"21", {}},
        {"no storage type", nullptr, u"1", u"21", {}},
        {"no size", u"BinaryDump", nullptr, u"21", {}},
        {"size not a number", u"BinaryDump", u"two", u"21", {}},
        {"data too short", u"BinaryDump", u"2", u"21B", {}},
        {"no data", u"BinaryDump", u"1", nullptr, {}},
        {"non-hexadecimal low digit", u"BinaryDump", u"2", u"21GA", {}},
        {"non-hexadecimal high digit", u"BinaryDump", u"2", u"21B ", {}},
    };
    for (const Case& c : cases) {
        CXMLObject node = DumpNode(c.type, c.size, c.data);
        CPProperty prop = RawProperty({9, 9, 9});
        EXPECT_EQ(CXMLPropHandler::SetXMLContent(prop, node), !c.payload.empty()) << c.what;
        EXPECT_EQ(Payload(prop), c.payload) << c.what;
    }
}

TEST(XmlPropHandlerTest, OutOfMemoryIsAResult) {
    CPProperty prop = RawProperty({0x12, 0xAB});
    CXMLObject node = Node(u"Property");
    {
        AllocationFailure failure(0);
        EXPECT_FALSE(CXMLPropHandler::GetXMLContent(prop, node));
    }
    CXMLObject good = DumpNode(u"BinaryDump", u"2", u"21BA");
    AllocationFailure failure(0);
    EXPECT_FALSE(CXMLPropHandler::SetXMLContent(prop, good));
    EXPECT_EQ(prop.GetSize(), 0u);
}

TEST(XmlPropHandlerTest, NullNodeIsRefused) {
    CPProperty prop = RawProperty({1});
    CXMLObject none;
    EXPECT_FALSE(CXMLPropHandler::GetXMLContent(prop, none));
    EXPECT_FALSE(CXMLPropHandler::SetXMLContent(prop, none));
    EXPECT_EQ(prop.GetSize(), 0u);
}

}  // namespace
