// Registering and unregistering cache parsers: results, the load references
// on the parsers' module, and the growth of the list.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <vector>

#include "tqplatform/system.h"
#include "xmlprop/xmlprop_test_support.h"

namespace {

using namespace xmlprop_test;

void MainParserA(tagXMLPROPERTY&, const CXMLObject&) {}
void MainParserB(tagXMLPROPERTY&, const CXMLObject&) {}

void* ModuleOf(XMLCACHEPARSER parser) {
    return tqplat::GetModuleFromAddress(reinterpret_cast<const void*>(parser));
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
        for (unsigned int i = 0; pick && pick(i); ++i) m_parsers.push_back(pick(i));
        m_base = m_parsers.empty() ? nullptr : ModuleOf(m_parsers[0]);
    }
    ~ParserModule() { Unload(); }
    void Unload() {
        if (m_handle) dlclose(m_handle);
        m_handle = nullptr;
    }
    const std::vector<XMLCACHEPARSER>& parsers() const { return m_parsers; }
    void* base() const { return m_base; }

  private:
    void* m_handle;
    std::vector<XMLCACHEPARSER> m_parsers;
    void* m_base;
};

TEST(XmlPropParserListTest, RegistrationResults) {
    int notAModule = 0;
    struct Step {
        const char* what;
        bool registering;
        XMLCACHEPARSER parser;
        void* module;
        bool result;
    };
    const Step steps[] = {
        {"null parser", true, nullptr, nullptr, false},
        {"address that is no module", true, &MainParserA, &notAModule, false},
        {"unknown parser", false, &MainParserA, nullptr, false},
        {"main program", true, &MainParserA, nullptr, true},
        {"twice, whatever the module", true, &MainParserA,
         tqplat::GetModuleFromAddress(
             reinterpret_cast<const void*>(&CXMLPropHandler::GetXMLContent)),
         false},
        {"another", true, &MainParserB, nullptr, true},
        {"first goes", false, &MainParserA, nullptr, true},
        {"first gone", false, &MainParserA, nullptr, false},
        {"last goes", false, &MainParserB, nullptr, true},
    };
    for (const Step& step : steps) {
        const bool result = step.registering
                                ? CPXMLProperty::RegisterCacheParser(step.parser, step.module)
                                : CPXMLProperty::UnregisterCacheParser(step.parser);
        EXPECT_EQ(result, step.result) << step.what;
    }
}

TEST(XmlPropParserListTest, RegisteredParsersKeepTheirModuleLoaded) {
    ParserModule module;
    ASSERT_GE(module.parsers().size(), 17u);
    ASSERT_NE(module.base(), nullptr);
    for (unsigned int i = 0; i < 17; ++i)
        ASSERT_TRUE(CPXMLProperty::RegisterCacheParser(module.parsers()[i], module.base())) << i;
    module.Unload();
    EXPECT_TRUE(IsLoaded(XMLPROP_PARSER_MODULE));
    for (unsigned int i = 0; i < 16; ++i)
        ASSERT_TRUE(CPXMLProperty::UnregisterCacheParser(module.parsers()[i])) << i;
    EXPECT_TRUE(IsLoaded(XMLPROP_PARSER_MODULE)) << "the last parser still holds it";
    ASSERT_TRUE(CPXMLProperty::UnregisterCacheParser(module.parsers()[16]));
    EXPECT_FALSE(IsLoaded(XMLPROP_PARSER_MODULE)) << "a reference was left behind";
}

// With allocations failing, only a registration that needs a new block
// fails: the first, and every one after 16 more. A failed one holds no
// module reference, and the list stays as it was.
TEST(XmlPropParserListTest, ListGrowsBySixteenEntries) {
    ParserModule module;
    ASSERT_GE(module.parsers().size(), 33u);
    const std::int64_t blocks = CPObjectMemory::GetBlockCount();
    for (unsigned int i = 0; i < 33; ++i) {
        const bool needsBlock = i % 16 == 0;
        {
            AllocationFailure failure(0);
            EXPECT_EQ(CPXMLProperty::RegisterCacheParser(module.parsers()[i], module.base()),
                      !needsBlock)
                << i;
        }
        if (needsBlock) {
            ASSERT_TRUE(CPXMLProperty::RegisterCacheParser(module.parsers()[i], module.base()));
        }
        EXPECT_EQ(CPObjectMemory::GetBlockCount(), blocks + 1) << i;
    }
    for (unsigned int i = 0; i < 33; ++i)
        ASSERT_TRUE(CPXMLProperty::UnregisterCacheParser(module.parsers()[i])) << i;
    EXPECT_EQ(CPObjectMemory::GetBlockCount(), blocks) << "removing the last entry frees the list";
    module.Unload();
    EXPECT_FALSE(IsLoaded(XMLPROP_PARSER_MODULE));
}

}  // namespace
