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
void* const kMainAddress = reinterpret_cast<void*>(&FunctionOfTheMainProgram);
void* const kCoreAddress = reinterpret_cast<void*>(&SetLastError);

TEST(Modules, MainProgramAndCoreLibraryAreNamedByBase) {
    Dl_info mainInfo{}, coreInfo{};
    ASSERT_TRUE(dladdr(kMainAddress, &mainInfo) && dladdr(kCoreAddress, &coreInfo));
    void* const core = GetModuleFromAddress(kCoreAddress);
    EXPECT_EQ(GetModuleFromAddress(kMainAddress), mainInfo.dli_fbase);
    EXPECT_EQ(core, coreInfo.dli_fbase);
    EXPECT_NE(core, mainInfo.dli_fbase);
    EXPECT_EQ(GetModuleFromAddress(nullptr), nullptr);
    char mainPath[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", mainPath, sizeof mainPath - 1), 0);
    EXPECT_EQ(ModuleName(nullptr), Wide(mainPath));
    const std::u16string corePath = ModuleName(core);
    EXPECT_NE(corePath.find(u"libtqcore.so"), std::u16string::npos);
    struct stat byName {
    }, byLoader{};
    ASSERT_EQ(stat(std::string(corePath.begin(), corePath.end()).c_str(), &byName), 0);
    ASSERT_EQ(stat(coreInfo.dli_fname, &byLoader), 0);
    EXPECT_EQ(byName.st_ino, byLoader.st_ino);
    unsigned short small[5] = {1, 1, 1, 1, 1};
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 5), 5u);
    EXPECT_EQ(TakeError(true), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(FromU(small), Wide(mainPath).substr(0, 4)) << "truncated and terminated";
}

TEST(Modules, MainProgramAndLoadedLibrariesCountReferences) {
    void* const main = GetModuleFromAddress(kMainAddress);
    void* const core = GetModuleFromAddress(kCoreAddress);
    const std::u16string mainPath = ModuleName(nullptr), corePath = ModuleName(core);
    EXPECT_EQ(LoadLibraryW(U(mainPath)), main);
    EXPECT_EQ(LoadLibraryW(U(mainPath)), main);
    EXPECT_TRUE(FreeLibrary(main));
    EXPECT_TRUE(FreeLibrary(nullptr)) << "null names the main program";
    EXPECT_EQ(TakeError(!FreeLibrary(main)), ERROR_MOD_NOT_FOUND) << "every reference is back";
    EXPECT_EQ(LoadLibraryW(U(corePath)), core);
    EXPECT_TRUE(FreeLibrary(core));
    EXPECT_FALSE(FreeLibrary(core));
    EXPECT_EQ(ModuleName(core), corePath) << "a library loaded at start stays";
}

TEST(Modules, BadArgumentsFail) {
    EXPECT_EQ(TakeError(!GetModuleFileNameW(nullptr, nullptr, 10)), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(TakeError(!LoadLibraryW(nullptr)), ERROR_INVALID_PARAMETER);
    for (const char16_t* path : {u"/nonexistent/dir/libnothing.so", u"/proc/self/status"})
        EXPECT_EQ(TakeError(!LoadLibraryW(U(path))), ERROR_MOD_NOT_FOUND);
    // Inside a module but not its base, and no module at all.
    int onStack = 0;
    for (char* notABase : {static_cast<char*>(kCoreAddress), reinterpret_cast<char*>(&onStack)}) {
        unsigned short buffer[64];
        EXPECT_EQ(TakeError(!GetModuleFileNameW(notABase, buffer, 64)), ERROR_MOD_NOT_FOUND);
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
