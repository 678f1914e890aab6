// The library unloads cleanly with handlers and cache parsers still
// registered: its registries give back every block, string and module
// reference. This binary does not link the library; it loads it through a
// host module and unloads it again.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "tqcore/objmem.h"
#include "tqcore/pool.h"
#include "tqxml/xmlprop.h"

namespace {

int g_parserRuns = 0;

void CountingParser(tqcore::tagXMLPROPERTY&, const tqcore::CXMLObject&) {
    ++g_parserRuns;
}

using RegisterFunction = bool (*)(tqcore::XMLCACHEPARSER);

TEST(XmlPropUnloadTest, RegistriesGoWithTheLibrary) {
    ASSERT_EQ(dlopen(TQXML_LIBRARY, RTLD_NOW | RTLD_NOLOAD), nullptr) << "loaded before the test";
    const std::int64_t blocks = tqcore::CPObjectMemory::GetBlockCount();
    const std::size_t strings = tqcore::CStringPool::GetCount();

    void* host = dlopen(XMLPROP_UNLOAD_HOST, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(host, nullptr) << dlerror();
    auto hostRegister = reinterpret_cast<RegisterFunction>(dlsym(host, "xmlprop_host_register"));
    ASSERT_NE(hostRegister, nullptr) << dlerror();
    EXPECT_TRUE(hostRegister(&CountingParser));
    EXPECT_EQ(g_parserRuns, 1);
    EXPECT_GT(tqcore::CPObjectMemory::GetBlockCount(), blocks);
    ASSERT_EQ(dlclose(host), 0) << dlerror();

    void* still = dlopen(TQXML_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    EXPECT_EQ(still, nullptr) << "the library stayed loaded";
    if (still) dlclose(still);
    EXPECT_EQ(tqcore::CPObjectMemory::GetBlockCount(), blocks);
    EXPECT_EQ(tqcore::CStringPool::GetCount(), strings);
}

}  // namespace
