// The handler registry and the default handler's "BinaryDump" form.
#include <gtest/gtest.h>

#include "xmlprop/xmlprop_test_support.h"

namespace {

using namespace xmlprop_test;

// Distinct handler functions: their results are never asked for.
template <int N>
bool Handler(CPProperty&, CXMLObject&) {
    return N > 0;
}
constexpr auto GetFirst = &Handler<1>, SetFirst = &Handler<2>, GetSecond = &Handler<3>;

const tagXMLPROPHANDLER kFirst{kGuidA, GetFirst, SetFirst};
const tagXMLPROPHANDLER kSecond{kGuidA, GetSecond, SetFirst};

const tagXMLPROPHANDLER* Default() {
    return CXMLPropHandler::GetDefHandler(kGuidB);
}

TEST(XmlPropHandlers, RegistrationSteps) {
    ASSERT_NE(Default(), nullptr);
    EXPECT_EQ(Default()->pfnGetXMLContent, &CXMLPropHandler::GetXMLContent);
    EXPECT_EQ(Default()->pfnSetXMLContent, &CXMLPropHandler::SetXMLContent);
    struct Step {
        bool registering;
        tagXMLPROPHANDLER handler;
        bool result;
        bool (*foundGet)(CPProperty&, CXMLObject&);  // null: the default handler
    };
    const Step steps[] = {
        {true, {kGuidA, nullptr, SetFirst}, false, nullptr},
        {true, {kGuidA, GetFirst, nullptr}, false, nullptr},
        {false, kFirst, false, nullptr},  // unknown GUID
        {true, kFirst, true, GetFirst},
        {true, kFirst, true, GetFirst},    // same again
        {true, kSecond, true, GetSecond},  // later functions win
        {false, kFirst, true, GetSecond},  // other functions stay
        {false, kSecond, true, nullptr},
        {false, kSecond, false, nullptr},
    };
    for (const Step& step : steps) {
        const bool result = step.registering ? CXMLPropHandler::Register(step.handler)
                                             : CXMLPropHandler::Unregister(step.handler);
        EXPECT_EQ(result, step.result) << &step - steps;
        const tagXMLPROPHANDLER* found = CXMLPropHandler::FindHandler(kGuidA);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->pfnGetXMLContent,
                  step.foundGet ? step.foundGet : &CXMLPropHandler::GetXMLContent)
            << &step - steps;
        EXPECT_EQ(found == Default(), !step.foundGet) << &step - steps;
    }
}

// The null GUID has no default; more GUIDs than buckets are each found with
// their own functions, and an entry stays where it is while others go.
TEST(XmlPropHandlers, NullGuidAndManyGuids) {
    EXPECT_EQ(CXMLPropHandler::FindHandler(GUID_NULL), nullptr);
    const tagXMLPROPHANDLER nullGuid{GUID_NULL, GetFirst, SetFirst};
    ASSERT_TRUE(CXMLPropHandler::Register(nullGuid));
    EXPECT_EQ(CXMLPropHandler::FindHandler(GUID_NULL)->pfnSetXMLContent, SetFirst);
    EXPECT_EQ(CXMLPropHandler::GetDefHandler(GUID_NULL), nullptr);
    EXPECT_TRUE(CXMLPropHandler::Unregister(nullGuid));

    auto guid = [](std::uint32_t i) { return GUID{i + 1, 0x77, 0x88, {1, 2, 3, 4, 5, 6, 7, 8}}; };
    for (std::uint32_t i = 0; i < 40; ++i)
        ASSERT_TRUE(CXMLPropHandler::Register({guid(i), i % 2 ? GetFirst : GetSecond, SetFirst}));
    const tagXMLPROPHANDLER* kept = CXMLPropHandler::FindHandler(guid(0));
    for (std::uint32_t i = 1; i < 40; i += 2)
        ASSERT_TRUE(CXMLPropHandler::Unregister({guid(i), GetFirst, SetFirst}));
    EXPECT_EQ(CXMLPropHandler::FindHandler(guid(0)), kept);
    for (std::uint32_t i = 0; i < 40; ++i) {
        const tagXMLPROPHANDLER* found = CXMLPropHandler::FindHandler(guid(i));
        EXPECT_EQ(found == Default(), i % 2 == 1) << i;
        if (i % 2 == 0) {
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

TEST(XmlPropHandlers, BinaryDumpWritesLowDigitFirstAndRoundTrips) {
    std::vector<unsigned char> every(256);
    for (unsigned int i = 0; i < every.size(); ++i) every[i] = static_cast<unsigned char>(i);
    for (const auto& [bytes, size, data] :
         {std::tuple{std::vector<unsigned char>{0x12, 0xAB}, u"2", u"21BA"},
          std::tuple{std::vector<unsigned char>{}, u"0", u"<null>"},
          std::tuple{every, u"256", u""}}) {
        CPProperty prop = RawProperty(bytes);
        CXMLObject node = Node(u"Property");
        ASSERT_TRUE(CXMLPropHandler::GetXMLContent(prop, node));
        EXPECT_EQ(Text(node.FindAttribute(PS(u"PropertyStorageType"))), u"BinaryDump");
        EXPECT_EQ(Text(node.FindAttribute(PS(u"PropertyStorageSize"))), size);
        if (*data) {
            EXPECT_EQ(Text(node.GetData()), data);
        }
        CPProperty back = RawProperty({1});
        ASSERT_TRUE(CXMLPropHandler::SetXMLContent(back, node)) << bytes.size();
        EXPECT_EQ(Payload(back), bytes);
        EXPECT_TRUE(back.IsPropertyID(7, kGuidB)) << "the type tags are the caller's";
    }
}

TEST(XmlPropHandlers, BinaryDumpReading) {
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
        {"storage type of other case", u"binarydump", u"1", u"21", {}},
        {"no storage type", nullptr, u"1", u"21", {}},
        {"no size", u"BinaryDump", nullptr, u"21", {}},
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

TEST(XmlPropHandlers, OutOfMemoryAndNullNodesAreResults) {
    CPProperty prop = RawProperty({0x12, 0xAB});
    CXMLObject node = Node(u"Property"), none;
    {
        AllocationFailure failure(0);
        EXPECT_FALSE(CXMLPropHandler::GetXMLContent(prop, node));
    }
    EXPECT_FALSE(CXMLPropHandler::GetXMLContent(prop, none));
    CXMLObject good = DumpNode(u"BinaryDump", u"2", u"21BA");
    {
        AllocationFailure failure(0);
        EXPECT_FALSE(CXMLPropHandler::SetXMLContent(prop, good));
    }
    EXPECT_EQ(prop.GetSize(), 0u);
    prop = RawProperty({1});
    EXPECT_FALSE(CXMLPropHandler::SetXMLContent(prop, none));
    EXPECT_EQ(prop.GetSize(), 0u);
}

}  // namespace
