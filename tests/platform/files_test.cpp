// Files and handles: share modes, error codes, 64-bit pointer and size
// arithmetic, the same on both systems.
#include "tqplatform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <tuple>

#include "platform_test_support.h"

namespace tqplat {
namespace {

class FilesTest : public ::testing::Test {
  protected:
    HANDLE Open(std::uint32_t access, std::uint32_t share,
                std::uint32_t disposition = OPEN_ALWAYS) {
        return OpenName(Wide(file_), access, share, disposition);
    }
    std::int64_t SizeOnDisk() const {
        struct stat info {};
        return stat(file_.c_str(), &info) == 0 ? info.st_size : -1;
    }

    tqtest::TempDir dir_;
    std::string file_ = dir_.Path("data.bin");
};

TEST_F(FilesTest, ShareModesBetweenHandlesOfThisProcess) {
    // The first handle's access and share mode, the second's, and whether it opens.
    const std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, bool> cases[] = {
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
        const auto& [firstAccess, firstShare, access, share, opens] = c;
        HANDLE first = Open(firstAccess, firstShare), second = Open(access, share);
        EXPECT_EQ(TakeError(second == INVALID_HANDLE_VALUE), opens ? ~0u : ERROR_SHARING_VIOLATION)
            << (&c - cases);
        CloseHandle(second);
        CloseHandle(first);
        HANDLE again = Open(access, share);  // the holder is gone
        EXPECT_NE(again, INVALID_HANDLE_VALUE);
        CloseHandle(again);
    }
}

TEST_F(FilesTest, OpenFailuresGiveWindowsCodes) {
    HANDLE h = Open(W, 0, CREATE_ALWAYS);
    std::uint32_t written = 0;
    ASSERT_TRUE(WriteFile(h, "x", 1, &written, nullptr));
    CloseHandle(h);
    // What is wrong, name, access, disposition, error.
    const std::tuple<const char*, std::u16string, std::uint32_t, std::uint32_t, std::uint32_t>
        cases[] = {
            {"missing file", Wide(dir_.Path("absent")), R, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
            {"missing directory", Wide(dir_.Path("no/a")), R, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
            {"directory", Wide(dir_.path()), R, OPEN_EXISTING, ERROR_ACCESS_DENIED},
            {"create new over existing", Wide(file_), W, CREATE_NEW, ERROR_FILE_EXISTS},
            {"unpaired surrogate", u"/tmp/\xD800x", R, OPEN_EXISTING, ERROR_INVALID_NAME},
            {"unknown disposition", Wide(file_), R, 6, ERROR_INVALID_PARAMETER},
            {"truncate read-only", Wide(file_), R, TRUNCATE_EXISTING, ERROR_INVALID_PARAMETER},
        };
    for (const auto& [what, name, access, disposition, error] : cases)
        EXPECT_EQ(TakeError(OpenName(name, access, SR, disposition) == INVALID_HANDLE_VALUE), error)
            << what;
    EXPECT_EQ(TakeError(CreateFileW(nullptr, R, SR, nullptr, OPEN_EXISTING, 0, nullptr) ==
                        INVALID_HANDLE_VALUE),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SizeOnDisk(), 1) << "a refused truncation must not cut";
}

TEST_F(FilesTest, AccessRightsAreEnforced) {
    HANDLE writeOnly = Open(W, SR | SW, CREATE_ALWAYS), readOnly = Open(R, SR | SW, OPEN_EXISTING);
    char buffer[4];
    std::uint32_t count = 0;
    EXPECT_EQ(TakeError(!ReadFile(writeOnly, buffer, 1, &count, nullptr)), ERROR_ACCESS_DENIED);
    EXPECT_EQ(TakeError(!WriteFile(readOnly, "x", 1, &count, nullptr)), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(ReadFile(readOnly, buffer, 4, &count, nullptr)) << "end of file is no error";
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(TakeError(!ReadFile(readOnly, nullptr, 1, &count, nullptr)), ERROR_INVALID_PARAMETER);
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
        EXPECT_EQ(TakeError(!CloseHandle(h)), ERROR_INVALID_HANDLE);
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
    // Low part, whether a high part is given and its value, method, result, error, high after.
    const std::tuple<std::int32_t, bool, std::int32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                     std::int32_t>
        seeks[] = {
            {-7, true, -1, FILE_END, 0x40000000u, ERROR_SUCCESS, 1},         // back to 5 GiB
            {-0x20, true, -1, FILE_CURRENT, 0x3FFFFFE0u, ERROR_SUCCESS, 1},  // borrow from low
            {-1, true, 0, FILE_BEGIN, 0xFFFFFFFFu, ERROR_SUCCESS, 0},        // valid 4 GiB - 1
            {-2, true, -1, FILE_BEGIN, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK, 0},
            {0, false, 0, FILE_END, INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER,
             0},  // > 32 bits
        };
    for (const auto& s : seeks) {
        const auto& [low, withHigh, highBefore, method, result, error, highAfter] = s;
        SetLastError(12345);
        std::int32_t hi = highBefore;
        EXPECT_EQ(SetFilePointer(h, low, withHigh ? &hi : nullptr, method), result);
        EXPECT_EQ(GetLastError(), error) << (&s - seeks);
        EXPECT_TRUE(error != ERROR_SUCCESS || hi == highAfter) << (&s - seeks);
    }
    // The failures above left the pointer at 4 GiB - 1: data lands there.
    std::uint32_t count = 0;
    ASSERT_TRUE(WriteFile(h, "Z", 1, &count, nullptr));
    high = 0;
    ASSERT_EQ(SetFilePointer(h, -1, &high, FILE_BEGIN), 0xFFFFFFFFu);
    char byte = 0;
    ASSERT_TRUE(ReadFile(h, &byte, 1, &count, nullptr));
    EXPECT_EQ(byte, 'Z');
    EXPECT_EQ(TakeError(!GetFileSizeEx(h, nullptr)), ERROR_INVALID_PARAMETER);
    CloseHandle(h);
}

}  // namespace
}  // namespace tqplat
