// Cache parsers: registration results, module references, the growth of the
// list, the order of a run, exceptions, and changes while parsers run.
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
constexpr XMLCACHEPARSER ParserA = &Parser<1>, ParserB = &Parser<2>, ParserC = &Parser<3>;
// Writes, then throws: what it wrote stays.
void ThrowingParser(tagXMLPROPERTY& h, const CXMLObject& tree) {
    h.dwIDParam = tree.GetName().len();
    throw std::runtime_error("parser failed");
}
// Takes B out of the list and puts C in, while the parsers run.
void ReshufflingParser(tagXMLPROPERTY& h, const CXMLObject&) {
    CPXMLProperty::UnregisterCacheParser(ParserB);
    CPXMLProperty::RegisterCacheParser(ParserC, nullptr);
    h.dwDataParam = h.dwDataParam * 10 + 9;
}

// Registers the parsers for the life of the object, in the order given.
struct Registered {
    Registered(std::initializer_list<XMLCACHEPARSER> list) : parsers(list) {
        for (XMLCACHEPARSER p : parsers)
            EXPECT_TRUE(CPXMLProperty::RegisterCacheParser(p, nullptr));
    }
    ~Registered() {
        for (XMLCACHEPARSER p : parsers) CPXMLProperty::UnregisterCacheParser(p);
    }
    std::vector<XMLCACHEPARSER> parsers;
};

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

TEST(XmlPropParsers, RunInRegistrationOrderAndSeeTheTree) {
    Registered parsers{ParserA, ParserB, ParserC};
    EXPECT_EQ(StoredDataParam(5), 5123u);
    CPXMLProperty prop;
    ASSERT_TRUE(prop.SetPropertyID(1, Node(u"Tree"), kGuidA, nullptr, 0, 5));
    ASSERT_TRUE(prop.SetPropertyData(Node(u"Other"), 7));
    EXPECT_EQ(prop->dwDataParam, 7123u);
    ASSERT_TRUE(CPXMLProperty::UnregisterCacheParser(ParserB));
    EXPECT_EQ(StoredDataParam(), 13u);  // the rest keep their order
}

TEST(XmlPropParsers, ThrowingParserIsReportedAndSkipped) {
    Registered parsers{ParserA, &ThrowingParser, ParserB};
    ReportRecorder recorder;
    CPXMLProperty prop;
    ASSERT_TRUE(prop.SetPropertyID(1, Node(u"Tree"), kGuidA, nullptr, 0, 0));
    EXPECT_EQ(prop->dwDataParam, 12u) << "the next parser ran";
    EXPECT_EQ(prop->dwIDParam, 4u) << "the parser saw the tree, and what it wrote stays";
    ASSERT_EQ(recorder.reports().size(), 1u);
    EXPECT_EQ(recorder.reports()[0].expression, "Exception in XML property parser invocation");
    EXPECT_EQ(recorder.reports()[0].title, "Illegal code point reached");
    EXPECT_EQ(recorder.reports()[0].file, "xmlprop");
}

// A run goes over the list as it was when the run began.
TEST(XmlPropParsers, ListChangedByAParserAppliesToTheNextRun) {
    Registered parsers{&ReshufflingParser, ParserB};
    EXPECT_EQ(StoredDataParam(), 92u);
    EXPECT_EQ(StoredDataParam(), 93u);
    CPXMLProperty::UnregisterCacheParser(ParserC);
}

TEST(XmlPropParsers, RegisteredParsersKeepTheirModuleLoaded) {
    ParserModule module;
    ASSERT_GE(module.parsers.size(), 17u);  // past one block of the list
    for (unsigned int i = 0; i < 17; ++i)
        ASSERT_TRUE(CPXMLProperty::RegisterCacheParser(module.parsers[i], module.base));
    module.Unload();
    for (unsigned int i = 0; i < 16; ++i)
        ASSERT_TRUE(CPXMLProperty::UnregisterCacheParser(module.parsers[i]));
    EXPECT_TRUE(IsLoaded(XMLPROP_PARSER_MODULE)) << "the last parser still holds it";
    ASSERT_TRUE(CPXMLProperty::UnregisterCacheParser(module.parsers[16]));
    EXPECT_FALSE(IsLoaded(XMLPROP_PARSER_MODULE)) << "a reference was left behind";
}

// With allocations failing, only a registration that needs a new block
// fails: the first, and every one after 16 more. A failed one holds no
// module reference, and the list stays as it was.
TEST(XmlPropParsers, ListGrowsBySixteenEntries) {
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
    for (unsigned int i = 0; i < 33; ++i)
        ASSERT_TRUE(CPXMLProperty::UnregisterCacheParser(module.parsers[i])) << i;
    EXPECT_EQ(CPObjectMemory::GetBlockCount(), blocks) << "removing the last entry frees the list";
    module.Unload();
    EXPECT_FALSE(IsLoaded(XMLPROP_PARSER_MODULE));
}

// Parsers registered and unregistered on two threads while this one stores
// properties: every property is stored, and each run sees a whole list.
TEST(XmlPropParsers, ParsersChangeWhilePropertiesAreSet) {
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

}  // namespace
