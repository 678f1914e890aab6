// XML properties: the record's header bytes, signatures, conversions and
// refused calls; the property handlers with the default handler's
// "BinaryDump" form; and cache parsers with their module references, the
// growth of their list, exceptions, and changes while parsers run.
#include "tqxml/xmlprop.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tqcore/algo.h"
#include "tqcore/memory.h"
#include "tqplatform/system.h"
#include "xmlobj/xmlobj_test_support.h"

namespace {

using namespace xmlobj_test;

constexpr GUID kGuidA{0xA1A2A3A4, 0xB1B2, 0xC1C2, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr GUID kGuidB{0x0B0B0B0B, 0x1111, 0x2222, {9, 8, 7, 6, 5, 4, 3, 2}};

// A property of `bytes`, tagged with a type that is not an XML property's.
CPProperty RawProperty(const std::vector<unsigned char>& bytes) {
    CPProperty prop;
    if (!bytes.empty() && prop.Alloc(bytes.size()))
        std::copy(bytes.begin(), bytes.end(),
                  static_cast<unsigned char*>(static_cast<void*>(prop)));
    prop.SetPropertyID(7, kGuidB);
    return prop;
}

std::vector<unsigned char> Payload(const CPProperty& prop) {
    const auto* bytes = static_cast<const unsigned char*>(static_cast<void*>(prop));
    return bytes ? std::vector<unsigned char>(bytes, bytes + prop.GetSize())
                 : std::vector<unsigned char>();
}

CXMLObject SampleTree() {
    CXMLObject root = Node(u"Settings");
    root.AddAttribute(PS(u"version"), PS(u"2"));
    root.Add(DataNode(u"Name", u"caf\u00e9 & more"));
    return root;
}

// A property with the sample tree, or none when that fails.
CPXMLProperty Sample(std::uint32_t dataParam = 0, const GUID* sub = nullptr) {
    CPXMLProperty prop;
    prop.SetPropertyID(5, SampleTree(), kGuidA, sub, 0x11223344, dataParam);
    return prop;
}

void PutGuid(std::vector<unsigned char>& out, const GUID& g) {
    for (auto [value, width] :
         {std::pair<std::uint32_t, int>{g.Data1, 4}, {g.Data2, 2}, {g.Data3, 2}})
        AppendLE(out, value, width);
    out.insert(out.end(), g.Data4, g.Data4 + 8);
}

TEST(XmlPropRecord, PayloadIsHeaderThenImageAndTheSignatureIsOfBothGuids) {
    const CPXMLProperty prop = Sample(0x55667788, &kGuidB);
    std::vector<unsigned char> expected;
    AppendLE(expected, 44, 4);
    PutGuid(expected, kGuidA);
    PutGuid(expected, kGuidB);
    AppendLE(expected, 0x11223344, 4);
    AppendLE(expected, 0x55667788, 4);
    CPMemory image;
    ASSERT_TRUE(CXMLObject::Store(image, SampleTree(), true));
    const auto* bytes = static_cast<const unsigned char*>(static_cast<void*>(image));
    expected.insert(expected.end(), bytes, bytes + image.GetSize());
    EXPECT_EQ(Payload(prop), expected);

    EXPECT_EQ(prop.GetSignature(), GetCRC32(&kGuidB, 16, GetCRC32(&kGuidA, 16, 0x9ced0d47)));
    EXPECT_EQ(CPXMLProperty().GetSignature(), 0u);
    GUID main = kGuidB, sub = kGuidB;
    EXPECT_TRUE(Sample().GetPropertyID(main, sub));
    EXPECT_EQ(std::pair(main, sub), std::pair(kGuidA, GUID_NULL));
    EXPECT_FALSE(CPXMLProperty().GetPropertyID(main, sub));
    EXPECT_EQ(main, GUID_NULL);
}

TEST(XmlPropRecord, AllocatorLeavesRoomForTheHeader) {
    CPropertyNewDelete alloc;
    EXPECT_EQ(alloc.New(0), nullptr);
    auto* image = static_cast<unsigned char*>(alloc.New(10));
    auto* payload = static_cast<unsigned char*>(static_cast<void*>(alloc.Property()));
    EXPECT_EQ(image - payload, 44);
    EXPECT_EQ(alloc.Property().GetSize(), 54u);
    alloc.Delete(payload);
    EXPECT_EQ(alloc.Property().GetSize(), 54u) << "only the image address frees";
    alloc.Delete(image);
    EXPECT_EQ(alloc.Property().GetSize(), 0u);
}

TEST(XmlPropRecord, ConversionKeepsOnlyXmlProperties) {
    const std::tuple<GUID, std::size_t, bool> cases[] = {
        {kGuidB, 100, false}, {GUID_XMLPROPERTY, 44, false}, {GUID_XMLPROPERTY, 45, true}};
    for (const auto& [type, bytes, kept] : cases) {
        CPProperty other = RawProperty(std::vector<unsigned char>(bytes, 0x5A));
        other.SetPropertyID(3, type);
        CPXMLProperty constructed(other), assigned = Sample();
        assigned = other;
        for (const CPXMLProperty* p : {&constructed, &assigned}) {
            EXPECT_EQ(static_cast<const tagXMLPROPERTY*>(*p) != nullptr, kept) << bytes;
            EXPECT_EQ(p->GetSize(), kept ? bytes : 0) << bytes;
        }
    }
    CPXMLProperty self = Sample();
    self = static_cast<const CPProperty&>(self);
    EXPECT_NE(self.operator->(), nullptr) << "self-assignment keeps the payload";
}

// Every refused call reports under its own text and leaves no payload.
TEST(XmlPropRecord, RefusedCallsReport) {
    const std::pair<bool (*)(CPXMLProperty&), const char*> cases[] = {
        {[](CPXMLProperty& p) { return p.SetPropertyID(1, CXMLObject(), kGuidA, nullptr, 0, 0); },
         "xmlPropertyData.IsDefault()"},
        {[](CPXMLProperty& p) {
             return p.SetPropertyID(1, SampleTree(), GUID_NULL, nullptr, 0, 0);
         },
         "guidMain == GUID_NULL"},
        {[](CPXMLProperty& p) {
             p.Free();
             return p.SetPropertyData(SampleTree(), 0);
         },
         "!pProp"},
        {[](CPXMLProperty& p) { return p.SetPropertyData(CXMLObject(), 0); },
         "xmlPropertyData.IsDefault()"},
    };
    for (const auto& [call, report] : cases) {
        CPXMLProperty prop = Sample();
        ReportRecorder recorder;
        EXPECT_FALSE(call(prop)) << report;
        ASSERT_EQ(recorder.reports().size(), 1u) << report;
        EXPECT_EQ(recorder.reports()[0].file, "xmlprop");
        EXPECT_EQ(recorder.reports()[0].title + "|" + recorder.reports()[0].expression,
                  std::string("Runtime exclusion failed|") + report);
        EXPECT_EQ(prop.GetSize(), 0u) << report;
    }
}

TEST(XmlPropRecord, SetPropertyDataKeepsTheRestOfTheHeaderOrAllOnFailure) {
    CPXMLProperty prop = Sample(88, &kGuidB);
    CPXMLProperty earlier = prop;
    const CXMLObject other = DataNode(u"Other", u"text");
    ASSERT_TRUE(prop.SetPropertyData(other, 99));
    const tagXMLPROPERTY kept{44, kGuidA, kGuidB, 0x11223344, 99};
    EXPECT_EQ(std::memcmp(prop.operator->(), &kept, sizeof kept), 0);
    EXPECT_TRUE(prop.IsPropertyID(5, GUID_XMLPROPERTY));
    EXPECT_EQ(prop.GetPropertyData().GetContent(), other.GetContent());
    EXPECT_EQ(earlier->dwDataParam, 88u) << "a copy keeps the payload it shared";

    const std::vector<unsigned char> before = Payload(prop);
    const CXMLObject tree = SampleTree();
    {
        AllocationFailure failure(0);
        EXPECT_FALSE(prop.SetPropertyData(tree, 6));
        EXPECT_FALSE(Sample());
    }
    EXPECT_EQ(Payload(prop), before) << "a failed store leaves the property as it was";
}

TEST(XmlPropRecord, GetDataOfBadPayloads) {
    const std::vector<unsigned char> payload = Payload(Sample());
    std::vector<unsigned char> oversized = payload;
    oversized[0] = 0xFF;  // dwXMLPropertySize past the payload
    const std::tuple<const void*, std::uint64_t, const char*> cases[] = {
        {nullptr, 100, ""},
        {payload.data(), 43, "sData >= sizeof(XMLPROPERTY)"},
        {payload.data(), payload.size() - 1, ""},  // image cut short
        {oversized.data(), oversized.size(), "sData >= (SIZE_T)pProp->dwXMLPropertySize"},
    };
    for (const auto& [data, size, report] : cases) {
        tagXMLPROPERTY header;
        std::memset(&header, 0xCC, sizeof header);
        ReportRecorder recorder;
        EXPECT_FALSE(CPXMLProperty::GetData(data, size, &header)) << size;
        const tagXMLPROPERTY zero{44, GUID_NULL, GUID_NULL, 0, 0};
        EXPECT_EQ(std::memcmp(&header, &zero, sizeof header), 0) << size;
        ASSERT_EQ(recorder.reports().size(), *report ? 1u : 0u) << size;
        if (*report) {
            EXPECT_EQ(recorder.reports()[0].expression, report);
            EXPECT_EQ(recorder.reports()[0].title, "Runtime assumption failed");
        }
    }
    tagXMLPROPERTY header{};
    EXPECT_TRUE(CPXMLProperty::GetData(payload.data(), payload.size(), &header));
    EXPECT_EQ(std::memcmp(&header, payload.data(), 44), 0);
}

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
    // The null GUID has no default.
    EXPECT_EQ(CXMLPropHandler::FindHandler(GUID_NULL), nullptr);
    EXPECT_EQ(CXMLPropHandler::GetDefHandler(GUID_NULL), nullptr);
}

CXMLObject DumpNode(const char16_t* type, const char16_t* size, const char16_t* data) {
    CXMLObject node = Node(u"Property");
    node.AddAttribute(PS(u"PropertyStorageType"), PS(type));
    if (size) node.AddAttribute(PS(u"PropertyStorageSize"), PS(size));
    node.Add(W(data));
    return node;
}

TEST(XmlPropHandlers, BinaryDumpWritesLowDigitFirstAndRoundTrips) {
    for (const auto& [bytes, size, data] :
         {std::tuple{std::vector<unsigned char>{0x12, 0xAB}, u"2", u"21BA"},
          std::tuple{std::vector<unsigned char>{}, u"0", u"<null>"}}) {
        CPProperty prop = RawProperty(bytes);
        CXMLObject node = Node(u"Property");
        ASSERT_TRUE(CXMLPropHandler::GetXMLContent(prop, node));
        EXPECT_EQ(Text(node.FindAttribute(PS(u"PropertyStorageType"))), u"BinaryDump");
        EXPECT_EQ(Text(node.FindAttribute(PS(u"PropertyStorageSize"))), size);
        EXPECT_EQ(Text(node.GetData()), data);
        CPProperty back = RawProperty({1});
        ASSERT_TRUE(CXMLPropHandler::SetXMLContent(back, node)) << bytes.size();
        EXPECT_EQ(Payload(back), bytes);
        EXPECT_TRUE(back.IsPropertyID(7, kGuidB)) << "the type tags are the caller's";
    }
}

// A null type stands for a null node; an empty payload expects false.
TEST(XmlPropHandlers, BinaryDumpReading) {
    const std::tuple<const char*, const char16_t*, const char16_t*, const char16_t*,
                     std::vector<unsigned char>>
        cases[] = {
            {"lower-case digits", u"BinaryDump", u"2", u"21ba", {0x12, 0xAB}},
            {"characters after the bytes", u"BinaryDump", u"1", u"21zz", {0x12}},
            {"storage type of other case", u"binarydump", u"1", u"21", {}},
            {"no size", u"BinaryDump", nullptr, u"21", {}},
            {"data too short", u"BinaryDump", u"2", u"21B", {}},
            {"non-hexadecimal low digit", u"BinaryDump", u"2", u"21GA", {}},
            {"non-hexadecimal high digit", u"BinaryDump", u"2", u"21B ", {}},
            {"null node", nullptr, u"1", u"21", {}},
        };
    for (const auto& [what, type, size, data, payload] : cases) {
        CXMLObject node = type ? DumpNode(type, size, data) : CXMLObject();
        CPProperty prop = RawProperty({9, 9, 9});
        EXPECT_EQ(CXMLPropHandler::SetXMLContent(prop, node), !payload.empty()) << what;
        EXPECT_EQ(Payload(prop), payload) << what;
    }
    CPProperty prop = RawProperty({0x12, 0xAB});
    CXMLObject none, node = Node(u"Property"), good = DumpNode(u"BinaryDump", u"2", u"21BA");
    EXPECT_FALSE(CXMLPropHandler::GetXMLContent(prop, none));
    AllocationFailure failure(0);
    EXPECT_FALSE(CXMLPropHandler::GetXMLContent(prop, node));
    EXPECT_FALSE(CXMLPropHandler::SetXMLContent(prop, good));
    EXPECT_EQ(prop.GetSize(), 0u);
}

}  // namespace
