// Files and handles: share modes within and across processes, error codes,
// 64-bit pointer and size arithmetic.
#include "tqplatform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "platform_test_support.h"

namespace tqplat {
namespace {

constexpr std::uint32_t R = GENERIC_READ, W = GENERIC_WRITE;
constexpr std::uint32_t SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE;

class FilesTest : public ::testing::Test {
  protected:
    HANDLE Open(std::uint32_t access, std::uint32_t share,
                std::uint32_t disposition = OPEN_ALWAYS) {
        return CreateFileW(U(Wide(file_)), access, share, nullptr, disposition, 0, nullptr);
    }
    std::int64_t SizeOnDisk() const {
        struct stat info {};
        return stat(file_.c_str(), &info) == 0 ? info.st_size : -1;
    }
    void Create(const char* bytes) {
        HANDLE h = Open(W, 0, CREATE_ALWAYS);
        std::uint32_t written = 0;
        ASSERT_TRUE(WriteFile(h, bytes, std::strlen(bytes), &written, nullptr));
        CloseHandle(h);
    }

    tqtest::TempDir dir_;
    std::string file_ = dir_.Path("data.bin");
};

TEST_F(FilesTest, ShareModesBetweenHandlesOfThisProcess) {
    const struct {
        std::uint32_t firstAccess, firstShare, secondAccess, secondShare;
        bool secondOpens;
    } cases[] = {
        {R, SR, R, SR, true},            // readers sharing reads
        {R, SR, W, SR | SW, false},      // the reader does not share writing
        {R, SR | SW, W, SR, true},       // the writer denies writing, but the reader only reads
        {W, SR, R, SR, false},           // the new reader must let the writer write
        {W, SR, R, SR | SW, true},       // ...and does
        {R, 0, R, SR | SW, false},       // exclusive reader
        {R, SR, R | W, SR | SW, false},  // partial overlap still conflicts
        {R | W, 0, 0, 0, true},          // no data access never conflicts
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        HANDLE first = Open(c.firstAccess, c.firstShare);
        HANDLE second = Open(c.secondAccess, c.secondShare);
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.secondOpens);
        EXPECT_TRUE(c.secondOpens || GetLastError() == ERROR_SHARING_VIOLATION);
        if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
        CloseHandle(first);
        HANDLE again = Open(c.secondAccess, c.secondShare);  // the holder is gone
        EXPECT_NE(again, INVALID_HANDLE_VALUE);
        CloseHandle(again);
    }
}

TEST_F(FilesTest, ExclusiveHandleInAnotherProcessBlocksUntilClosed) {
    Create("shared");
    int report[2], hold[2];
    ASSERT_EQ(pipe(report), 0);
    ASSERT_EQ(pipe(hold), 0);
    const pid_t pid = fork();
    if (pid == 0) {  // holds the file exclusively until the parent closes the hold pipe
        const char opened = Open(R | W, 0, OPEN_EXISTING) != INVALID_HANDLE_VALUE ? 'y' : 'n';
        char word;
        close(hold[1]);
        _exit(write(report[1], &opened, 1) != 1 || read(hold[0], &word, 1) < 0 ? 2 : 0);
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
    HANDLE h = Open(R | W, 0, OPEN_EXISTING);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
}

TEST_F(FilesTest, OpenFailuresGiveWindowsCodes) {
    Create("x");
    const struct {
        const char* what;
        std::u16string name;
        std::uint32_t access, disposition, error;
    } cases[] = {
        {"missing file", Wide(dir_.Path("absent")), R, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"missing directory", Wide(dir_.Path("no/a")), R, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"directory", Wide(dir_.path()), R, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {"create new over existing", Wide(file_), W, CREATE_NEW, ERROR_FILE_EXISTS},
        {"unpaired surrogate", u"/tmp/\xD800x", R, OPEN_EXISTING, ERROR_INVALID_NAME},
        {"unknown disposition", Wide(file_), R, 6, ERROR_INVALID_PARAMETER},
        {"truncate read-only", Wide(file_), R, TRUNCATE_EXISTING, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(CreateFileW(U(c.name), c.access, SR, nullptr, c.disposition, 0, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
    EXPECT_EQ(CreateFileW(nullptr, R, SR, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SizeOnDisk(), 1) << "a refused truncation must not cut";
}

TEST_F(FilesTest, AccessRightsAreEnforced) {
    HANDLE writeOnly = Open(W, SR | SW, CREATE_ALWAYS), readOnly = Open(R, SR | SW, OPEN_EXISTING);
    char buffer[4];
    std::uint32_t count = 0;
    EXPECT_FALSE(ReadFile(writeOnly, buffer, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WriteFile(readOnly, "x", 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(ReadFile(readOnly, buffer, 4, &count, nullptr)) << "end of file is no error";
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(ReadFile(readOnly, nullptr, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    for (HANDLE h : {writeOnly, readOnly}) EXPECT_TRUE(CloseHandle(h));
}

TEST(Handles, BadHandlesFailWithoutTouchingAnything) {
    const int closedFd = open("/dev/null", O_RDONLY);
    close(closedFd);
    for (HANDLE h : {HANDLE(nullptr), INVALID_HANDLE_VALUE, HandleFromFd(closedFd),
                     reinterpret_cast<HANDLE>(std::intptr_t{0x100000003})}) {
        SCOPED_TRACE(h);
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
    std::int32_t high = 1;  // 5 GiB + 7 as a sparse file
    ASSERT_EQ(SetFilePointer(h, 0x40000007, &high, FILE_BEGIN), 0x40000007u);
    ASSERT_TRUE(SetEndOfFile(h));
    std::uint32_t sizeHigh = 0;
    EXPECT_EQ(GetFileSize(h, &sizeHigh), 0x40000007u);
    EXPECT_EQ(sizeHigh, 1u);
    std::int64_t size = 0;
    ASSERT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(size, (std::int64_t{5} << 30) + 7);
    const struct {
        std::int32_t low;
        bool withHigh;
        std::int32_t high;
        std::uint32_t method, result, error;
        std::int32_t highAfter;
    } seeks[] = {
        {-7, true, -1, FILE_END, 0x40000000u, ERROR_SUCCESS, 1},         // back to 5 GiB
        {-0x20, true, -1, FILE_CURRENT, 0x3FFFFFE0u, ERROR_SUCCESS, 1},  // borrow from low
        {-1, true, 0, FILE_BEGIN, 0xFFFFFFFFu, ERROR_SUCCESS, 0},        // valid 4 GiB - 1
        {-2, true, -1, FILE_BEGIN, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK, 0},
        {0, true, -2, FILE_CURRENT, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK, 0},
        {0, false, 0, FILE_END, INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER, 0},  // > 32 bits
    };
    for (const auto& s : seeks) {
        SetLastError(12345);
        std::int32_t hi = s.high;
        EXPECT_EQ(SetFilePointer(h, s.low, s.withHigh ? &hi : nullptr, s.method), s.result);
        EXPECT_EQ(GetLastError(), s.error) << (&s - seeks);
        EXPECT_TRUE(s.error != ERROR_SUCCESS || hi == s.highAfter) << (&s - seeks);
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
}  // namespace tqplat
