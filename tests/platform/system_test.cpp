// Modules and the message box.
#include "tqplatform/system.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform_test_support.h"

namespace tqplat {
namespace {

std::u16string ModuleName(void* module) {
    unsigned short buffer[PATH_MAX];
    return GetModuleFileNameW(module, buffer, PATH_MAX) == 0 ? u"" : FromU(buffer);
}

int FunctionOfTheMainProgram() {
    return 42;
}

std::u16string MainPath() {
    char path[PATH_MAX] = {};
    return Wide(readlink("/proc/self/exe", path, sizeof path - 1) > 0 ? path : "");
}

void* MainBase() {
    return GetModuleFromAddress(reinterpret_cast<const void*>(&FunctionOfTheMainProgram));
}
void* CoreBase() {
    return GetModuleFromAddress(reinterpret_cast<const void*>(&SetLastError));
}

TEST(Modules, MainProgramAndCoreLibraryAreNamedByBase) {
    Dl_info mainInfo{}, coreInfo{};
    ASSERT_NE(dladdr(reinterpret_cast<const void*>(&FunctionOfTheMainProgram), &mainInfo), 0);
    ASSERT_NE(dladdr(reinterpret_cast<const void*>(&SetLastError), &coreInfo), 0);
    EXPECT_EQ(MainBase(), mainInfo.dli_fbase);
    EXPECT_EQ(CoreBase(), coreInfo.dli_fbase);
    EXPECT_NE(CoreBase(), MainBase());
    EXPECT_EQ(ModuleName(nullptr), MainPath());
    const std::u16string corePath = ModuleName(CoreBase());
    EXPECT_NE(corePath.find(u"libtqcore.so"), std::u16string::npos);
    struct stat byName {
    }, byLoader{};
    ASSERT_EQ(stat(std::string(corePath.begin(), corePath.end()).c_str(), &byName), 0);
    ASSERT_EQ(stat(coreInfo.dli_fname, &byLoader), 0);
    EXPECT_EQ(byName.st_ino, byLoader.st_ino);
    EXPECT_EQ(GetModuleFromAddress(nullptr), nullptr);
    unsigned short small[5] = {1, 1, 1, 1, 1};
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 5), 5u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(FromU(small), MainPath().substr(0, 4)) << "truncated and terminated";
}

TEST(Modules, MainProgramAndLoadedLibrariesCountReferences) {
    const std::u16string mainPath = ModuleName(nullptr), corePath = ModuleName(CoreBase());
    EXPECT_EQ(LoadLibraryW(U(mainPath)), MainBase());
    EXPECT_EQ(LoadLibraryW(U(mainPath)), MainBase());
    EXPECT_TRUE(FreeLibrary(MainBase()));
    EXPECT_TRUE(FreeLibrary(nullptr)) << "null names the main program";
    EXPECT_FALSE(FreeLibrary(MainBase())) << "every reference is already back";
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(LoadLibraryW(U(corePath)), CoreBase());
    EXPECT_TRUE(FreeLibrary(CoreBase()));
    EXPECT_FALSE(FreeLibrary(CoreBase()));
    EXPECT_EQ(ModuleName(CoreBase()), corePath) << "a library loaded at start stays";
}

TEST(Modules, BadArgumentsFail) {
    EXPECT_EQ(GetModuleFileNameW(nullptr, nullptr, 10), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    for (const char16_t* path : {u"/nonexistent/dir/libnothing.so", u"/proc/self/status"}) {
        EXPECT_EQ(LoadLibraryW(U(path)), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    }
    // Inside a module but not its base, and no module at all.
    int onStack = 0;
    for (void* notABase :
         {static_cast<char*>(CoreBase()) + 16, reinterpret_cast<char*>(&onStack)}) {
        unsigned short buffer[64];
        EXPECT_EQ(GetModuleFileNameW(notABase, buffer, 64), 0u);
        EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
        EXPECT_FALSE(FreeLibrary(notABase));
    }
}

std::u16string g_seen;

int RecordingHook(const unsigned short* text, const unsigned short* caption, unsigned int type) {
    g_seen = FromU(text) + u"|" + FromU(caption) + u"|" + Wide(std::to_string(type));
    return 7;
}

TEST(MessageBox, HookSeesTheTextsAndChoosesTheAnswer) {
    const tqcore::MessageBoxHook previous = tqcore::SetMessageBoxHook(RecordingHook);
    const std::u16string text = u"Line 3: unexpected \u00BB<\u00AB";
    EXPECT_EQ(MessageBoxW(nullptr, U(text), U(u"XML Parsing Error"), MB_OK | MB_ICONERROR), 7);
    EXPECT_EQ(g_seen, text + u"|XML Parsing Error|" + Wide(std::to_string(MB_OK | MB_ICONERROR)));
    EXPECT_EQ(MessageBoxW(nullptr, nullptr, nullptr, MB_OK), 7);
    EXPECT_EQ(g_seen, u"|Error|0") << "the system's title for a box without caption";
    EXPECT_EQ(tqcore::SetMessageBoxHook(nullptr), &RecordingHook);

    ::testing::internal::CaptureStderr();  // the default writes UTF-8 to standard error
    EXPECT_EQ(MessageBoxW(nullptr, U(u"gr\u00FC\u00DF"), U(u"Caption"), MB_OK), IDOK);
    const std::string output = ::testing::internal::GetCapturedStderr();
    tqcore::SetMessageBoxHook(previous);
    EXPECT_NE(output.find("Caption"), std::string::npos);
    EXPECT_NE(output.find("gr\xC3\xBC\xC3\x9F"), std::string::npos);
}

}  // namespace
}  // namespace tqplat
