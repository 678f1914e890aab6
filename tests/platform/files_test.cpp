// Files and handles: share modes within and across processes, dispositions,
// error codes, 64-bit pointer and size arithmetic.
#include "tqplatform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace tqplat;

namespace {

constexpr std::uint32_t R = GENERIC_READ;
constexpr std::uint32_t W = GENERIC_WRITE;
constexpr std::uint32_t SR = FILE_SHARE_READ;
constexpr std::uint32_t SW = FILE_SHARE_WRITE;

std::u16string Wide(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}
const unsigned short* U(const std::u16string& s) {
    return reinterpret_cast<const unsigned short*>(s.c_str());
}

class FilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tqplat-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        file_ = dir_ + "/data.bin";
    }
    void TearDown() override {
        for (HANDLE h : open_) CloseHandle(h);
        std::string command = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(system(command.c_str()), 0);
    }

    HANDLE Open(const std::string& path, std::uint32_t access, std::uint32_t share,
                std::uint32_t disposition = OPEN_ALWAYS) {
        HANDLE h = CreateFileW(U(Wide(path)), access, share, nullptr, disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) open_.push_back(h);
        return h;
    }
    void Close(HANDLE h) {
        ASSERT_TRUE(CloseHandle(h));
        open_.erase(std::find(open_.begin(), open_.end(), h));
    }
    void WriteText(const std::string& path, const std::string& text) {
        HANDLE h = Open(path, W, 0, CREATE_ALWAYS);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        std::uint32_t written = 0;
        ASSERT_TRUE(
            WriteFile(h, text.data(), static_cast<std::uint32_t>(text.size()), &written, nullptr));
        ASSERT_EQ(written, text.size());
        Close(h);
    }
    static std::int64_t SizeOnDisk(const std::string& path) {
        struct stat info {};
        return stat(path.c_str(), &info) == 0 ? info.st_size : -1;
    }

    std::string dir_, file_;
    std::vector<HANDLE> open_;
};

struct ShareCase {
    std::uint32_t firstAccess, firstShare, secondAccess, secondShare;
    bool secondOpens;
};

TEST_F(FilesTest, ShareModesBetweenHandlesOfThisProcess) {
    const ShareCase cases[] = {
        {R, SR, R, SR, true},        // readers sharing reads
        {R, SR, W, SR | SW, false},  // the reader does not share writing
        {R, SR | SW, W, SR, true},   // the writer denies writing, but the reader only reads
        {W, SR, R, SR, false},       // the new reader must let the writer write
        {W, SR, R, SR | SW, true},   // ...and does
        {W, 0, R, SR | SW, false},   // exclusive writer
        {R, 0, R, SR | SW, false},   // exclusive reader
        {R | W, SR | SW, R | W, SR | SW, true},
        {R, SR, R | W, SR | SW, false},  // partial overlap still conflicts
        {0, 0, R, 0, true},              // no data access never conflicts
        {R | W, 0, 0, 0, true},
    };
    for (const ShareCase& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << std::hex << "first " << c.firstAccess << "/" << c.firstShare << " second "
                     << c.secondAccess << "/" << c.secondShare);
        HANDLE first = Open(file_, c.firstAccess, c.firstShare);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        HANDLE second = Open(file_, c.secondAccess, c.secondShare);
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.secondOpens);
        if (second == INVALID_HANDLE_VALUE) {
            EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
        } else {
            Close(second);
        }
        Close(first);
        // Closing the holder frees the file for the refused open.
        HANDLE again = Open(file_, c.secondAccess, c.secondShare);
        ASSERT_NE(again, INVALID_HANDLE_VALUE);
        Close(again);
    }
}

TEST_F(FilesTest, DescriptorsOpenedByTheCallerShareEverything) {
    const int fd = open(file_.c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GT(fd, 0);
    HANDLE exclusive = Open(file_, R | W, 0);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE);
    std::uint32_t written = 0;
    EXPECT_TRUE(WriteFile(HandleFromFd(fd), "abc", 3, &written, nullptr));
    EXPECT_EQ(written, 3u);
    EXPECT_TRUE(CloseHandle(HandleFromFd(fd)));
}

// Runs `attempt` in a child process, which reports its result and keeps what
// it opened until Finish() lets it exit.
class Child {
  public:
    explicit Child(const std::function<std::uint32_t()>& attempt) {
        if (pipe(report_) != 0 || pipe(hold_) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(hold_[1]);
            const std::uint32_t result = attempt();
            char word;
            if (write(report_[1], &result, sizeof result) != sizeof result ||
                read(hold_[0], &word, 1) < 0)
                _exit(2);
            _exit(0);
        }
        close(report_[1]);
        close(hold_[0]);
    }
    ~Child() {
        Finish();
        close(report_[0]);
    }
    // The child's result; 0xDEAD when it died first.
    std::uint32_t Result() {
        std::uint32_t value = 0xDEAD;
        return read(report_[0], &value, sizeof value) == sizeof value ? value : 0xDEAD;
    }
    void Finish() {
        close(hold_[1]);
        hold_[1] = -1;
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    int report_[2] = {-1, -1}, hold_[2] = {-1, -1};
    pid_t pid_ = -1;
};

TEST_F(FilesTest, ExclusiveHandleInAnotherProcessBlocksUntilClosed) {
    WriteText(file_, "shared");
    const std::u16string name = Wide(file_);
    Child child([&] {
        return std::uint32_t{CreateFileW(U(name), R | W, 0, nullptr, OPEN_EXISTING, 0, nullptr) !=
                             INVALID_HANDLE_VALUE};
    });
    ASSERT_EQ(child.Result(), 1u) << "the child could not open the file";

    for (std::uint32_t access : {R, W, R | W}) {
        EXPECT_EQ(Open(file_, access, SR | SW, OPEN_EXISTING), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    }
    EXPECT_EQ(Open(file_, W, SR | SW, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open(file_, W, SR | SW, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(SizeOnDisk(file_), 6) << "a refused open must not cut the file";

    child.Finish();
    EXPECT_NE(Open(file_, R | W, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
}

TEST_F(FilesTest, AnotherProcessIsRefusedWhileThisOneHoldsTheFile) {
    HANDLE held = Open(file_, W, SR);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const std::u16string name = Wide(file_);
    Child child([&] {
        // Drop the inherited copy so that only the other process's marks can refuse us.
        CloseHandle(held);
        HANDLE writer = CreateFileW(U(name), W, SR | SW, nullptr, OPEN_EXISTING, 0, nullptr);
        const std::uint32_t writerError = writer == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        HANDLE reader = CreateFileW(U(name), R, SR | SW, nullptr, OPEN_EXISTING, 0, nullptr);
        return writerError * 10 + (reader != INVALID_HANDLE_VALUE);
    });
    EXPECT_EQ(child.Result(), ERROR_SHARING_VIOLATION * 10 + 1)
        << "the writer must be refused with 32 and the sharing reader admitted";
}

struct DispositionCase {
    std::uint32_t disposition;
    bool exists;
    bool opens;
    std::uint32_t error;  // last error after the call
    std::int64_t size;    // size afterwards; -1 for no file
};

TEST_F(FilesTest, CreationDispositions) {
    const DispositionCase cases[] = {
        {CREATE_NEW, true, false, ERROR_FILE_EXISTS, 3},
        {CREATE_NEW, false, true, ERROR_SUCCESS, 0},
        {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, 0},
        {CREATE_ALWAYS, false, true, ERROR_SUCCESS, 0},
        {OPEN_EXISTING, true, true, ERROR_SUCCESS, 3},
        {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, -1},
        {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, 3},
        {OPEN_ALWAYS, false, true, ERROR_SUCCESS, 0},
        {TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, 0},
        {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, -1},
    };
    for (const DispositionCase& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "disposition " << c.disposition << " exists " << c.exists);
        unlink(file_.c_str());
        if (c.exists) WriteText(file_, "abc");
        SetLastError(12345);
        HANDLE h = Open(file_, R | W, 0, c.disposition);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
        EXPECT_EQ(GetLastError(), c.error);
        if (h != INVALID_HANDLE_VALUE) Close(h);
        EXPECT_EQ(SizeOnDisk(file_), c.size);
    }
}

TEST_F(FilesTest, OpenFailuresGiveWindowsCodes) {
    WriteText(file_, "x");
    const unsigned short lonely[] = {'/', 't', 'm', 'p', '/', 0xD800, 'x', 0};
    struct Case {
        const char* what;
        const unsigned short* name;
        std::uint32_t access, share, disposition, error;
    };
    const std::u16string missingFile = Wide(dir_ + "/absent.bin");
    const std::u16string missingDir = Wide(dir_ + "/nodir/absent.bin");
    const std::u16string underFile = Wide(file_ + "/child");
    const std::u16string directory = Wide(dir_);
    const std::u16string existing = Wide(file_);
    const std::u16string empty;
    const Case cases[] = {
        {"missing file", U(missingFile), R, SR, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"missing directory", U(missingDir), R, SR, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"create in missing directory", U(missingDir), W, 0, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
        {"file used as directory", U(underFile), R, SR, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"directory", U(directory), R, SR, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {"create new over existing", U(existing), W, 0, CREATE_NEW, ERROR_FILE_EXISTS},
        {"null name", nullptr, R, SR, OPEN_EXISTING, ERROR_INVALID_PARAMETER},
        {"empty name", U(empty), R, SR, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"unpaired surrogate", lonely, R, SR, OPEN_EXISTING, ERROR_INVALID_NAME},
        {"unknown disposition", U(existing), R, SR, 6, ERROR_INVALID_PARAMETER},
        {"unknown share bit", U(existing), R, 0x8, OPEN_EXISTING, ERROR_INVALID_PARAMETER},
        {"truncate without write access", U(existing), R, SR, TRUNCATE_EXISTING,
         ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(0);
        HANDLE h = CreateFileW(c.name, c.access, c.share, nullptr, c.disposition, 0, nullptr);
        EXPECT_EQ(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    EXPECT_EQ(SizeOnDisk(file_), 1) << "a refused truncation must not cut";
}

// Without read permission the descriptor cannot carry the cross-process
// marks; handles of this process must still exclude each other.
TEST_F(FilesTest, WriteOnlyFileStillHonoursSharing) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    WriteText(file_, "x");
    ASSERT_EQ(chmod(file_.c_str(), 0200), 0);
    HANDLE writer = Open(file_, W, 0, OPEN_EXISTING);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open(file_, W, SR | SW, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    Close(writer);
    EXPECT_NE(Open(file_, W, SR | SW, OPEN_EXISTING), INVALID_HANDLE_VALUE);
}

TEST_F(FilesTest, ReadWriteAndAccessRights) {
    HANDLE rw = Open(file_, R | W, SR | SW, CREATE_ALWAYS);
    ASSERT_NE(rw, INVALID_HANDLE_VALUE);
    const char text[] = "0123456789";
    std::uint32_t count = 0;
    ASSERT_TRUE(WriteFile(rw, text, 10, &count, nullptr));
    EXPECT_EQ(count, 10u);
    EXPECT_EQ(SetFilePointer(rw, 4, nullptr, FILE_BEGIN), 4u);
    char buffer[16] = {};
    ASSERT_TRUE(ReadFile(rw, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(count, 6u);
    EXPECT_STREQ(buffer, "456789");
    ASSERT_TRUE(ReadFile(rw, buffer, sizeof buffer, &count, nullptr)) << "end of file is no error";
    EXPECT_EQ(count, 0u);
    // Cut at the pointer.
    EXPECT_EQ(SetFilePointer(rw, 7, nullptr, FILE_BEGIN), 7u);
    ASSERT_TRUE(SetEndOfFile(rw));
    EXPECT_EQ(GetFileSize(rw, nullptr), 7u);

    HANDLE writeOnly = Open(file_, W, SR | SW, OPEN_EXISTING);
    ASSERT_NE(writeOnly, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ReadFile(writeOnly, buffer, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(WriteFile(writeOnly, "AB", 2, &count, nullptr));

    HANDLE readOnly = Open(file_, R, SR | SW, OPEN_EXISTING);
    ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteFile(readOnly, "x", 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(SetEndOfFile(readOnly));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    ASSERT_TRUE(ReadFile(readOnly, buffer, 7, &count, nullptr));
    EXPECT_EQ(std::string(buffer, count), "AB23456");

    EXPECT_FALSE(ReadFile(rw, nullptr, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(FilesTest, FullDiskIsReported) {
    HANDLE full = Open("/dev/full", W, SR | SW, OPEN_EXISTING);
    if (full == INVALID_HANDLE_VALUE) GTEST_SKIP() << "no /dev/full";
    std::uint32_t written = 99;
    EXPECT_FALSE(WriteFile(full, "data", 4, &written, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_EQ(written, 0u);
}

TEST_F(FilesTest, BadHandlesFailWithoutTouchingAnything) {
    const int closedFd = open("/dev/null", O_RDONLY);
    ASSERT_GE(closedFd, 0);
    close(closedFd);
    const HANDLE bad[] = {nullptr, INVALID_HANDLE_VALUE, HandleFromFd(closedFd),
                          reinterpret_cast<HANDLE>(std::intptr_t{0x100000003})};
    for (HANDLE h : bad) {
        SCOPED_TRACE(::testing::Message() << "handle " << h);
        char buffer[4];
        std::uint32_t count = 77, high = 77;
        std::int32_t distanceHigh = 0;
        std::int64_t size = 0;
        const std::vector<std::pair<const char*, bool>> results = {
            {"ReadFile", ReadFile(h, buffer, 4, &count, nullptr)},
            {"WriteFile", WriteFile(h, "abcd", 4, &count, nullptr)},
            {"SetFilePointer",
             SetFilePointer(h, 0, &distanceHigh, FILE_BEGIN) != INVALID_SET_FILE_POINTER},
            {"GetFileSize", GetFileSize(h, &high) != INVALID_FILE_SIZE},
            {"GetFileSizeEx", GetFileSizeEx(h, &size)},
            {"SetEndOfFile", SetEndOfFile(h)},
            {"CloseHandle", CloseHandle(h)},
        };
        for (const auto& [what, succeeded] : results) EXPECT_FALSE(succeeded) << what;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_EQ(count, 0u);
    }
}

TEST_F(FilesTest, PointerAndSizeBeyondFourGiB) {
    HANDLE h = Open(file_, R | W, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    // 5 GiB + 7 as a sparse file.
    std::int32_t high = 1;
    ASSERT_EQ(SetFilePointer(h, 0x40000007, &high, FILE_BEGIN), 0x40000007u);
    EXPECT_EQ(high, 1);
    ASSERT_TRUE(SetEndOfFile(h));
    std::uint32_t sizeHigh = 0;
    EXPECT_EQ(GetFileSize(h, &sizeHigh), 0x40000007u);
    EXPECT_EQ(sizeHigh, 1u);
    std::int64_t size = 0;
    ASSERT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(size, (std::int64_t{5} << 30) + 7);

    struct Seek {
        std::int32_t low;
        bool withHigh;
        std::int32_t high;
        std::uint32_t method;
        std::uint32_t result, error;
        std::int32_t highAfter;
    };
    const Seek seeks[] = {
        {-7, true, -1, FILE_END, 0x40000000u, ERROR_SUCCESS, 1},  // back to 5 GiB
        {0x10, true, 0, FILE_CURRENT, 0x40000010u, ERROR_SUCCESS, 1},
        {-0x20, true, -1, FILE_CURRENT, 0x3FFFFFF0u, ERROR_SUCCESS, 1},  // borrow from low
        {-1, true, 0, FILE_BEGIN, 0xFFFFFFFFu, ERROR_SUCCESS, 0},        // valid 4 GiB - 1
        {0, true, -2, FILE_CURRENT, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK, 0},
        {-1, false, 0, FILE_BEGIN, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK, 0},
        {0, false, 0, FILE_END, INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER,
         0},  // past 32 bits
        {0, true, 0, 3, INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER, 0},
    };
    for (const Seek& s : seeks) {
        SCOPED_TRACE(::testing::Message()
                     << "seek " << s.low << " high " << s.high << " method " << s.method);
        SetLastError(12345);
        std::int32_t hi = s.high;
        EXPECT_EQ(SetFilePointer(h, s.low, s.withHigh ? &hi : nullptr, s.method), s.result);
        EXPECT_EQ(GetLastError(), s.error);
        if (s.error == ERROR_SUCCESS && s.withHigh) {
            EXPECT_EQ(hi, s.highAfter);
        }
    }
    // The failures above left the pointer at 4 GiB - 1: data lands there.
    std::uint32_t count = 0;
    ASSERT_TRUE(WriteFile(h, "Z", 1, &count, nullptr));
    high = 0;
    ASSERT_EQ(SetFilePointer(h, -1, &high, FILE_BEGIN), 0xFFFFFFFFu);
    char byte = 0;
    ASSERT_TRUE(ReadFile(h, &byte, 1, &count, nullptr));
    EXPECT_EQ(byte, 'Z');
    EXPECT_FALSE(GetFileSizeEx(h, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(FilesTest, DeleteFile) {
    WriteText(file_, "x");
    EXPECT_TRUE(DeleteFileW(U(Wide(file_))));
    EXPECT_EQ(SizeOnDisk(file_), -1);
    struct Case {
        std::string path;
        std::uint32_t error;
    };
    const Case cases[] = {
        {file_, ERROR_FILE_NOT_FOUND},
        {dir_ + "/nodir/x", ERROR_PATH_NOT_FOUND},
        {dir_, ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_FALSE(DeleteFileW(U(Wide(c.path))));
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_FALSE(DeleteFileW(nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(FilesTest, NonAsciiNamesReachTheFileSystemAsUtf8) {
    const std::u16string name = Wide(dir_ + "/") + u"gr\u00FC\u00DFe-\u6F22.txt";
    HANDLE h = CreateFileW(U(name), W, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_EQ(SizeOnDisk(dir_ + "/gr\xC3\xBC\xC3\x9F"
                                "e-\xE6\xBC\xA2.txt"),
              0);
}

TEST(LastError, IsPerThread) {
    SetLastError(ERROR_DISK_FULL);
    std::uint32_t seenByOther = 1;
    std::thread([&] {
        seenByOther = GetLastError();
        SetLastError(ERROR_ACCESS_DENIED);
    }).join();
    EXPECT_EQ(seenByOther, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
}

TEST(Clock, SleepAdvancesTheTickCount) {
    const std::uint32_t start = GetTickCount();
    Sleep(30);
    const std::uint32_t elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 30u);
    EXPECT_LT(elapsed, 5000u);
}

}  // namespace
