// The registries: property handlers with the default handler's "BinaryDump"
// form, and cache parsers with their module references, the growth of their
// list, exceptions, and changes while parsers run.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tqplatform/system.h"
#include "xmlprop/xmlprop_test_support.h"

namespace {

using namespace xmlprop_test;

// Each appends its digit to dwDataParam.
template <unsigned int Digit>
void Parser(tagXMLPROPERTY& h, const CXMLObject&) {
    h.dwDataParam = h.dwDataParam * 10 + Digit;
}
constexpr XMLCACHEPARSER ParserA = &Parser<1>, ParserB = &Parser<2>;
// Writes, then throws: what it wrote stays.
void ThrowingParser(tagXMLPROPERTY& h, const CXMLObject& tree) {
    h.dwIDParam = tree.GetName().len();
    throw std::runtime_error("parser failed");
}
std::uint32_t StoredDataParam(std::uint32_t dataParam = 0) {
    CPXMLProperty prop;
    if (!prop.SetPropertyID(1, Node(u"Tree"), kGuidA, nullptr, 0, dataParam)) return 0xDEAD;
    return prop->dwDataParam;
}

bool IsLoaded(const char* path) {
    void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

// The parsers of the parser module, loaded for the life of the object.
class ParserModule {
  public:
    ParserModule() : m_handle(dlopen(XMLPROP_PARSER_MODULE, RTLD_NOW | RTLD_LOCAL)) {
        using Pick = XMLCACHEPARSER (*)(unsigned int);
        auto pick =
            m_handle ? reinterpret_cast<Pick>(dlsym(m_handle, "xmlprop_test_parser")) : nullptr;
        for (unsigned int i = 0; pick && pick(i); ++i) parsers.push_back(pick(i));
        base = parsers.empty()
                   ? nullptr
                   : tqplat::GetModuleFromAddress(reinterpret_cast<const void*>(parsers[0]));
    }
    ~ParserModule() { Unload(); }
    void Unload() {
        if (m_handle) dlclose(m_handle);
        m_handle = nullptr;
    }
    std::vector<XMLCACHEPARSER> parsers;
    void* base;

  private:
    void* m_handle;
};

TEST(XmlPropParsers, RegistrationResults) {
    int notAModule = 0;
    void* library = tqplat::GetModuleFromAddress(
        reinterpret_cast<const void*>(&CXMLPropHandler::GetXMLContent));
    EXPECT_FALSE(CPXMLProperty::RegisterCacheParser(nullptr, nullptr));
    EXPECT_FALSE(CPXMLProperty::RegisterCacheParser(ParserA, &notAModule));
    EXPECT_FALSE(CPXMLProperty::UnregisterCacheParser(ParserA));
    EXPECT_TRUE(CPXMLProperty::RegisterCacheParser(ParserA, nullptr));
    EXPECT_FALSE(CPXMLProperty::RegisterCacheParser(ParserA, library));  // twice, any module
    EXPECT_TRUE(CPXMLProperty::UnregisterCacheParser(ParserA));
    EXPECT_FALSE(CPXMLProperty::UnregisterCacheParser(ParserA));
}

TEST(XmlPropParsers, ThrowingParserIsReportedAndSkipped) {
    const XMLCACHEPARSER parsers[] = {ParserA, &ThrowingParser, ParserB};
    for (XMLCACHEPARSER p : parsers) EXPECT_TRUE(CPXMLProperty::RegisterCacheParser(p, nullptr));
    ReportRecorder recorder;
    CPXMLProperty prop;
    ASSERT_TRUE(prop.SetPropertyID(1, Node(u"Tree"), kGuidA, nullptr, 0, 0));
    EXPECT_EQ(prop->dwDataParam, 12u) << "the next parser ran";
    EXPECT_EQ(prop->dwIDParam, 4u) << "the parser saw the tree, and what it wrote stays";
    ASSERT_EQ(recorder.reports().size(), 1u);
    EXPECT_EQ(recorder.reports()[0].expression, "Exception in XML property parser invocation");
    EXPECT_EQ(recorder.reports()[0].title, "Illegal code point reached");
    EXPECT_EQ(recorder.reports()[0].file, "xmlprop");
    for (XMLCACHEPARSER p : parsers) EXPECT_TRUE(CPXMLProperty::UnregisterCacheParser(p));
}

// With allocations failing, only a registration that needs a new block
// fails: the first, and every one after 16 more. A failed one holds no
// module reference, and the list stays as it was. Registered parsers keep
// their module loaded until the last goes.
TEST(XmlPropParsers, ListGrowsBySixteenEntriesAndHoldsTheModule) {
    ParserModule module;
    ASSERT_GE(module.parsers.size(), 33u);
    const std::int64_t blocks = CPObjectMemory::GetBlockCount();
    for (unsigned int i = 0; i < 33; ++i) {
        const bool needsBlock = i % 16 == 0;
        {
            AllocationFailure failure(0);
            EXPECT_EQ(CPXMLProperty::RegisterCacheParser(module.parsers[i], module.base),
                      !needsBlock)
                << i;
        }
        if (needsBlock) {
            ASSERT_TRUE(CPXMLProperty::RegisterCacheParser(module.parsers[i], module.base));
        }
        EXPECT_EQ(CPObjectMemory::GetBlockCount(), blocks + 1) << i;
    }
    module.Unload();
    for (unsigned int i = 0; i < 32; ++i)
        ASSERT_TRUE(CPXMLProperty::UnregisterCacheParser(module.parsers[i])) << i;
    EXPECT_TRUE(IsLoaded(XMLPROP_PARSER_MODULE)) << "the last parser still holds it";
    ASSERT_TRUE(CPXMLProperty::UnregisterCacheParser(module.parsers[32]));
    EXPECT_EQ(CPObjectMemory::GetBlockCount(), blocks) << "removing the last entry frees the list";
    EXPECT_FALSE(IsLoaded(XMLPROP_PARSER_MODULE)) << "a reference was left behind";
}

// Parsers registered and unregistered on two threads while this one stores
// properties: every property is stored, and each run sees a whole list.
TEST(XmlPropThreads, ParsersChangeWhilePropertiesAreSet) {
    std::atomic<bool> stop{false};
    std::atomic<int> registrations[2] = {0, 0};
    auto churn = [&](XMLCACHEPARSER parser, std::atomic<int>& count) {
        while (!stop.load()) {
            if (CPXMLProperty::RegisterCacheParser(parser, nullptr)) ++count;
            CPXMLProperty::UnregisterCacheParser(parser);
        }
    };
    std::thread first(churn, &Parser<4>, std::ref(registrations[0]));
    std::thread second(churn, &Parser<5>, std::ref(registrations[1]));
    bool allPlausible = true;
    // Until both threads have churned a while, within a bound.
    for (int i = 0; i < 200000 && (i < 2000 || registrations[0] < 200 || registrations[1] < 200);
         ++i) {
        const std::uint32_t seen = StoredDataParam();
        allPlausible &= seen == 0 || seen == 4 || seen == 5 || seen == 45 || seen == 54;
    }
    stop = true;
    first.join();
    second.join();
    EXPECT_TRUE(allPlausible)
        << "a property was not stored, a parser ran twice or a run saw a broken list";
    EXPECT_GE(registrations[0], 200);
    EXPECT_GE(registrations[1], 200);
    EXPECT_FALSE(CPXMLProperty::UnregisterCacheParser(&Parser<4>)) << "left registered";
}

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

// The null GUID has no default.
TEST(XmlPropHandlers, NullGuid) {
    EXPECT_EQ(CXMLPropHandler::FindHandler(GUID_NULL), nullptr);
    const tagXMLPROPHANDLER nullGuid{GUID_NULL, GetFirst, SetFirst};
    ASSERT_TRUE(CXMLPropHandler::Register(nullGuid));
    EXPECT_EQ(CXMLPropHandler::FindHandler(GUID_NULL)->pfnSetXMLContent, SetFirst);
    EXPECT_EQ(CXMLPropHandler::GetDefHandler(GUID_NULL), nullptr);
    EXPECT_TRUE(CXMLPropHandler::Unregister(nullGuid));
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
