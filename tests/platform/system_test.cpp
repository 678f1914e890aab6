// Modules and the message box.
#include "tqplatform/system.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tqplatform/files.h"

using namespace tqplat;

namespace {

std::u16string Wide(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}
const unsigned short* U(const std::u16string& s) {
    return reinterpret_cast<const unsigned short*>(s.c_str());
}
std::u16string FromU(const unsigned short* s) {
    return reinterpret_cast<const char16_t*>(s);
}

std::u16string ModuleName(void* module) {
    unsigned short buffer[PATH_MAX];
    const std::uint32_t length = GetModuleFileNameW(module, buffer, PATH_MAX);
    return length == 0 ? std::u16string() : FromU(buffer);
}

int FunctionOfTheMainProgram() {
    return 42;
}

std::string MainPath() {
    char path[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
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
    EXPECT_EQ(ModuleName(nullptr), Wide(MainPath()));
    const std::u16string corePath = ModuleName(CoreBase());
    EXPECT_NE(corePath.find(u"libtqcore.so"), std::u16string::npos);
    struct stat byName {
    }, byLoader{};
    ASSERT_EQ(stat(std::string(corePath.begin(), corePath.end()).c_str(), &byName), 0);
    ASSERT_EQ(stat(coreInfo.dli_fname, &byLoader), 0);
    EXPECT_EQ(byName.st_ino, byLoader.st_ino);
    EXPECT_EQ(GetModuleFromAddress(nullptr), nullptr);

    const std::u16string full = Wide(MainPath());
    unsigned short small[5] = {1, 1, 1, 1, 1};
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 5), 5u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(FromU(small), full.substr(0, 4)) << "truncated and terminated";
}

TEST(Modules, MainProgramAndLoadedLibrariesCountReferences) {
    const std::u16string mainPath = ModuleName(nullptr);
    EXPECT_EQ(LoadLibraryW(U(mainPath)), MainBase());
    EXPECT_EQ(LoadLibraryW(U(mainPath)), MainBase());
    EXPECT_TRUE(FreeLibrary(MainBase()));
    EXPECT_TRUE(FreeLibrary(nullptr)) << "null names the main program";
    EXPECT_FALSE(FreeLibrary(MainBase())) << "every reference is already back";
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

    const std::u16string corePath = ModuleName(CoreBase());
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
        EXPECT_EQ(LoadLibraryW(reinterpret_cast<const unsigned short*>(path)), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    }
    // Inside a module but not its base, and no module at all.
    int onStack = 0;
    for (void* notABase :
         {static_cast<void*>(static_cast<char*>(CoreBase()) + 16), static_cast<void*>(&onStack)}) {
        unsigned short buffer[64];
        EXPECT_EQ(GetModuleFileNameW(notABase, buffer, 64), 0u);
        EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
        EXPECT_FALSE(FreeLibrary(notABase));
    }
}

struct SeenBox {
    std::u16string text, caption;
    unsigned int type = 0;
    int calls = 0;
};
SeenBox g_seen;

int RecordingHook(const unsigned short* text, const unsigned short* caption, unsigned int type) {
    g_seen.text = FromU(text);
    g_seen.caption = FromU(caption);
    g_seen.type = type;
    ++g_seen.calls;
    return 7;
}

TEST(MessageBox, HookSeesTheTextsAndChoosesTheAnswer) {
    g_seen = SeenBox{};
    const tqcore::MessageBoxHook previous = tqcore::SetMessageBoxHook(RecordingHook);
    const std::u16string text = u"Line 3: unexpected \u00BB<\u00AB";
    EXPECT_EQ(MessageBoxW(nullptr, U(text), U(u"XML Parsing Error"), MB_OK | MB_ICONERROR), 7);
    EXPECT_EQ(g_seen.calls, 1);
    EXPECT_EQ(g_seen.text, text);
    EXPECT_EQ(g_seen.caption, u"XML Parsing Error");
    EXPECT_EQ(g_seen.type, MB_OK | MB_ICONERROR);

    EXPECT_EQ(MessageBoxW(nullptr, nullptr, nullptr, MB_OK), 7);
    EXPECT_EQ(g_seen.text, u"");
    EXPECT_EQ(g_seen.caption, u"Error") << "the system's title for a box without caption";

    EXPECT_EQ(tqcore::SetMessageBoxHook(previous), &RecordingHook);
}

TEST(MessageBox, DefaultWritesUtf8ToStandardError) {
    const tqcore::MessageBoxHook previous = tqcore::SetMessageBoxHook(nullptr);
    ::testing::internal::CaptureStderr();
    const int answer = MessageBoxW(nullptr, U(u"gr\u00FC\u00DF"), U(u"Caption"), MB_OK);
    const std::string output = ::testing::internal::GetCapturedStderr();
    tqcore::SetMessageBoxHook(previous);
    EXPECT_EQ(answer, IDOK);
    EXPECT_NE(output.find("Caption"), std::string::npos);
    EXPECT_NE(output.find("gr\xC3\xBC\xC3\x9F"), std::string::npos);
}

}  // namespace
