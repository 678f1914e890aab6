// Modules, the debugger and the message box.
#include "tqplatform/system.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

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

bool SameFile(const std::u16string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return stat(std::string(a.begin(), a.end()).c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void* DladdrBase(const void* address) {
    Dl_info info{};
    return dladdr(address, &info) != 0 ? info.dli_fbase : nullptr;
}

int FunctionOfTheMainProgram() {
    return 42;
}

std::string MainPath() {
    char path[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

TEST(Modules, MainProgramAndCoreLibraryAreNamedByBase) {
    void* mainBase = GetModuleFromAddress(reinterpret_cast<const void*>(&FunctionOfTheMainProgram));
    ASSERT_NE(mainBase, nullptr);
    EXPECT_EQ(mainBase, DladdrBase(reinterpret_cast<const void*>(&FunctionOfTheMainProgram)));
    EXPECT_EQ(ModuleName(nullptr), Wide(MainPath()));
    EXPECT_EQ(ModuleName(mainBase), Wide(MainPath()));

    const void* inCore = reinterpret_cast<const void*>(&tqplat::GetLastError);
    void* coreBase = GetModuleFromAddress(inCore);
    ASSERT_NE(coreBase, nullptr);
    EXPECT_NE(coreBase, mainBase);
    EXPECT_EQ(coreBase, DladdrBase(inCore));
    const std::u16string corePath = ModuleName(coreBase);
    EXPECT_NE(corePath.find(u"libtqcore.so"), std::u16string::npos);
    EXPECT_EQ(corePath[0], u'/');
    Dl_info info{};
    ASSERT_NE(dladdr(inCore, &info), 0);
    EXPECT_TRUE(SameFile(corePath, info.dli_fname));

    int onStack = 0;
    EXPECT_EQ(GetModuleFromAddress(&onStack), nullptr);
    EXPECT_EQ(GetModuleFromAddress(nullptr), nullptr);
}

TEST(Modules, FileNameTruncationAndFailures) {
    const std::u16string full = Wide(MainPath());
    ASSERT_GT(full.size(), 5u);
    unsigned short small[5] = {1, 1, 1, 1, 1};
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 5), 5u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(FromU(small), full.substr(0, 4)) << "truncated and terminated";

    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 0), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(GetModuleFileNameW(nullptr, nullptr, 10), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    // Inside a module but not its base, and no module at all.
    char* inCore =
        reinterpret_cast<char*>(GetModuleFromAddress(reinterpret_cast<const void*>(&SetLastError)));
    int onStack = 0;
    for (void* notABase : {static_cast<void*>(inCore + 16), static_cast<void*>(&onStack)}) {
        unsigned short buffer[64];
        EXPECT_EQ(GetModuleFileNameW(notABase, buffer, 64), 0u);
        EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    }
}

TEST(Modules, MainProgramAndLoadedLibrariesCountReferences) {
    void* mainBase = GetModuleFromAddress(reinterpret_cast<const void*>(&FunctionOfTheMainProgram));
    const std::u16string mainPath = ModuleName(nullptr);
    EXPECT_EQ(LoadLibraryW(U(mainPath)), mainBase);
    EXPECT_EQ(LoadLibraryW(U(mainPath)), mainBase);
    EXPECT_TRUE(FreeLibrary(mainBase));
    EXPECT_TRUE(FreeLibrary(nullptr)) << "null names the main program";
    EXPECT_FALSE(FreeLibrary(mainBase)) << "every reference is already back";
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

    void* coreBase = GetModuleFromAddress(reinterpret_cast<const void*>(&SetLastError));
    const std::u16string corePath = ModuleName(coreBase);
    EXPECT_EQ(LoadLibraryW(U(corePath)), coreBase);
    EXPECT_TRUE(FreeLibrary(coreBase));
    EXPECT_FALSE(FreeLibrary(coreBase));
    EXPECT_EQ(ModuleName(coreBase), corePath) << "a library loaded at start stays";
}

std::string UnloadableLibrary() {
    for (const char* dir : {"/lib/x86_64-linux-gnu", "/usr/lib/x86_64-linux-gnu", "/lib64",
                            "/usr/lib64", "/usr/lib"}) {
        for (const char* name : {"libz.so.1", "libanl.so.1"}) {
            const std::string path = std::string(dir) + "/" + name;
            if (access(path.c_str(), R_OK) == 0) return path;
        }
    }
    return {};
}

TEST(Modules, LastReleaseUnloadsALibrary) {
    const std::string path = UnloadableLibrary();
    if (path.empty()) GTEST_SKIP() << "no small system library to load";
    const std::u16string wide = Wide(path);
    void* first = LoadLibraryW(U(wide));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(LoadLibraryW(U(wide)), first);
    EXPECT_TRUE(SameFile(ModuleName(first), path));

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_FALSE(ModuleName(first).empty()) << "one reference still holds it";
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_TRUE(ModuleName(first).empty()) << "unloaded with the last reference";
    EXPECT_FALSE(FreeLibrary(first));
}

TEST(Modules, LoadFailures) {
    const std::u16string missing = u"/nonexistent/dir/libnothing.so";
    const std::u16string notALibrary = u"/proc/self/status";
    const std::u16string empty;
    struct Case {
        const char* what;
        const unsigned short* path;
        std::uint32_t error;
    };
    const Case cases[] = {
        {"null", nullptr, ERROR_INVALID_PARAMETER},
        {"empty", U(empty), ERROR_PATH_NOT_FOUND},
        {"missing", U(missing), ERROR_MOD_NOT_FOUND},
        {"not a library", U(notALibrary), ERROR_MOD_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(LoadLibraryW(c.path), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    int onStack = 0;
    EXPECT_FALSE(FreeLibrary(&onStack));
}

// Runs `body` in a child and returns its wait status.
template <typename Body>
int StatusOfChild(Body body) {
    const pid_t pid = fork();
    if (pid == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

TEST(Debugger, BreakRaisesATrap) {
    const int status = StatusOfChild([] {
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        signal(SIGTRAP, SIG_DFL);
        DebugBreak();
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTRAP);
}

TEST(Debugger, PresenceFollowsTheTracer) {
    int ready[2], go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        const char before = IsDebuggerPresent() ? 'T' : 'F';
        char word;
        if (write(ready[1], &before, 1) != 1 || read(go[0], &word, 1) != 1) _exit(2);
        _exit(IsDebuggerPresent() ? 10 : 11);
    }
    char before = 0;
    ASSERT_EQ(read(ready[0], &before, 1), 1);
    EXPECT_EQ(before, 'F');
    const bool traced = ptrace(PTRACE_SEIZE, pid, nullptr, nullptr) == 0;
    ASSERT_EQ(write(go[1], "g", 1), 1);
    int status = 0;
    waitpid(pid, &status, 0);
    for (int fd : {ready[0], ready[1], go[0], go[1]}) close(fd);
    if (!traced) GTEST_SKIP() << "tracing is not permitted here";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 10) << "the traced child must see its debugger";
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
