// Files and handles: share modes within and across processes, error codes,
// 64-bit pointer and size arithmetic.
#include "tqplatform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>

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
        std::string command = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(system(command.c_str()), 0);
    }
    HANDLE Open(std::uint32_t access, std::uint32_t share,
                std::uint32_t disposition = OPEN_ALWAYS) {
        return CreateFileW(U(Wide(file_)), access, share, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    std::int64_t SizeOnDisk() const {
        struct stat info {};
        return stat(file_.c_str(), &info) == 0 ? info.st_size : -1;
    }

    std::string dir_, file_;
};

TEST_F(FilesTest, ShareModesBetweenHandlesOfThisProcess) {
    struct Case {
        std::uint32_t firstAccess, firstShare, secondAccess, secondShare;
        bool secondOpens;
    };
    const Case cases[] = {
        {R, SR, R, SR, true},            // readers sharing reads
        {R, SR, W, SR | SW, false},      // the reader does not share writing
        {R, SR | SW, W, SR, true},       // the writer denies writing, but the reader only reads
        {W, SR, R, SR, false},           // the new reader must let the writer write
        {W, SR, R, SR | SW, true},       // ...and does
        {R, 0, R, SR | SW, false},       // exclusive reader
        {R, SR, R | W, SR | SW, false},  // partial overlap still conflicts
        {R | W, 0, 0, 0, true},          // no data access never conflicts
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case " << (&c - cases));
        HANDLE first = Open(c.firstAccess, c.firstShare);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        HANDLE second = Open(c.secondAccess, c.secondShare);
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.secondOpens);
        if (second == INVALID_HANDLE_VALUE) {
            EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
        } else {
            CloseHandle(second);
        }
        CloseHandle(first);
        // Closing the holder frees the file for the refused open.
        HANDLE again = Open(c.secondAccess, c.secondShare);
        ASSERT_NE(again, INVALID_HANDLE_VALUE);
        CloseHandle(again);
    }
}

TEST_F(FilesTest, ExclusiveHandleInAnotherProcessBlocksUntilClosed) {
    HANDLE h = Open(W, 0, CREATE_ALWAYS);
    std::uint32_t written = 0;
    ASSERT_TRUE(WriteFile(h, "shared", 6, &written, nullptr));
    CloseHandle(h);
    int report[2], hold[2];
    ASSERT_EQ(pipe(report), 0);
    ASSERT_EQ(pipe(hold), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        // Holds the file exclusively until the parent closes the hold pipe.
        const char opened = Open(R | W, 0, OPEN_EXISTING) != INVALID_HANDLE_VALUE ? 'y' : 'n';
        char word;
        close(hold[1]);
        if (write(report[1], &opened, 1) != 1 || read(hold[0], &word, 1) < 0) _exit(2);
        _exit(0);
    }
    close(hold[0]);
    char opened = 0;
    ASSERT_EQ(read(report[0], &opened, 1), 1);
    ASSERT_EQ(opened, 'y') << "the child could not open the file";

    for (std::uint32_t disposition : {OPEN_EXISTING, CREATE_ALWAYS, TRUNCATE_EXISTING}) {
        EXPECT_EQ(Open(W, SR | SW, disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    }
    EXPECT_EQ(Open(R, SR | SW, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(SizeOnDisk(), 6) << "a refused open must not cut the file";

    close(hold[1]);
    waitpid(pid, nullptr, 0);
    close(report[0]);
    close(report[1]);
    h = Open(R | W, 0, OPEN_EXISTING);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
}

TEST_F(FilesTest, OpenFailuresGiveWindowsCodes) {
    HANDLE h = Open(W, 0, CREATE_ALWAYS);
    std::uint32_t written = 0;
    ASSERT_TRUE(WriteFile(h, "x", 1, &written, nullptr));
    CloseHandle(h);
    struct Case {
        const char* what;
        std::u16string name;
        std::uint32_t access, disposition, error;
    };
    const Case cases[] = {
        {"missing file", Wide(dir_ + "/absent.bin"), R, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"missing directory", Wide(dir_ + "/nodir/a"), R, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"directory", Wide(dir_), R, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {"create new over existing", Wide(file_), W, CREATE_NEW, ERROR_FILE_EXISTS},
        {"unpaired surrogate", u"/tmp/\xD800x", R, OPEN_EXISTING, ERROR_INVALID_NAME},
        {"unknown disposition", Wide(file_), R, 6, ERROR_INVALID_PARAMETER},
        {"truncate without write access", Wide(file_), R, TRUNCATE_EXISTING,
         ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(0);
        h = CreateFileW(U(c.name), c.access, SR, nullptr, c.disposition, 0, nullptr);
        EXPECT_EQ(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    EXPECT_EQ(CreateFileW(nullptr, R, SR, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SizeOnDisk(), 1) << "a refused truncation must not cut";
}

TEST_F(FilesTest, AccessRightsAreEnforced) {
    HANDLE writeOnly = Open(W, SR | SW, CREATE_ALWAYS);
    HANDLE readOnly = Open(R, SR | SW, OPEN_EXISTING);
    char buffer[4];
    std::uint32_t count = 0;
    EXPECT_FALSE(ReadFile(writeOnly, buffer, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WriteFile(readOnly, "x", 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(ReadFile(readOnly, buffer, sizeof buffer, &count, nullptr))
        << "end of file is no error";
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(ReadFile(readOnly, nullptr, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    for (HANDLE h : {writeOnly, readOnly}) EXPECT_TRUE(CloseHandle(h));
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
        std::int64_t size = 0;
        EXPECT_FALSE(ReadFile(h, buffer, 4, &count, nullptr));
        EXPECT_EQ(count, 0u);
        EXPECT_FALSE(WriteFile(h, "abcd", 4, &count, nullptr));
        EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
        EXPECT_EQ(GetFileSize(h, &high), INVALID_FILE_SIZE);
        EXPECT_FALSE(GetFileSizeEx(h, &size));
        EXPECT_FALSE(SetEndOfFile(h));
        EXPECT_FALSE(CloseHandle(h));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
}

TEST_F(FilesTest, PointerAndSizeBeyondFourGiB) {
    HANDLE h = Open(R | W, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    // 5 GiB + 7 as a sparse file.
    std::int32_t high = 1;
    ASSERT_EQ(SetFilePointer(h, 0x40000007, &high, FILE_BEGIN), 0x40000007u);
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
        std::uint32_t method, result, error;
        std::int32_t highAfter;
    };
    const Seek seeks[] = {
        {-7, true, -1, FILE_END, 0x40000000u, ERROR_SUCCESS, 1},         // back to 5 GiB
        {-0x20, true, -1, FILE_CURRENT, 0x3FFFFFE0u, ERROR_SUCCESS, 1},  // borrow from low
        {-1, true, 0, FILE_BEGIN, 0xFFFFFFFFu, ERROR_SUCCESS, 0},        // valid 4 GiB - 1
        {-2, true, -1, FILE_BEGIN, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK, 0},
        {0, true, -2, FILE_CURRENT, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK, 0},
        {0, false, 0, FILE_END, INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER, 0},  // > 32 bits
    };
    for (const Seek& s : seeks) {
        SCOPED_TRACE(::testing::Message() << "seek " << (&s - seeks));
        SetLastError(12345);
        std::int32_t hi = s.high;
        EXPECT_EQ(SetFilePointer(h, s.low, s.withHigh ? &hi : nullptr, s.method), s.result);
        EXPECT_EQ(GetLastError(), s.error);
        if (s.error == ERROR_SUCCESS) {
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
    CloseHandle(h);
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

}  // namespace
