// File names as the POSIX rendering maps them: every name the system may
// list maps between UTF-16 and its bytes without loss, and deletion takes
// files and links only.
#include "tqplatform/filenames.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform_test_support.h"

namespace tqplat {
namespace {

namespace fs = std::filesystem;

std::size_t EntryCount(const tqtest::TempDir& dir) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()));
}

void Touch(const std::string& path) {
    close(open(path.c_str(), O_WRONLY | O_CREAT, 0600));
}

// Every byte string the system may list comes back as the same bytes, and
// the file opens under its UTF-16 name.
TEST(FileNames, SystemNamesRoundTripAndOpen) {
    tqtest::TempDir dir;
    const std::pair<std::string, std::u16string> cases[] = {
        {"plain.xml", u"plain.xml"},
        {"caf\xC3\xA9", u"caf\u00E9"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},      // outside the BMP
        {"caf\xE9", u"caf\xDCE9"},                // a Latin-1 byte
        {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},  // an encoded surrogate
        {"\xC0\xAF", u"\xDCC0\xDCAF"},            // an overlong slash
    };
    for (const auto& [bytes, wide] : cases) {
        SCOPED_TRACE(wide.size());
        const std::string path = dir.Path(bytes);
        Touch(path);
        EXPECT_EQ(WideFileName(bytes), wide);
        std::string back;
        ASSERT_TRUE(NativeFileName(U(wide), back));
        EXPECT_EQ(back, bytes);
        HANDLE h = OpenName(WideFileName(path), R, SR, OPEN_EXISTING);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
        CloseHandle(h);
        EXPECT_TRUE(DeleteFileW(U(WideFileName(path))));
    }
}

// UTF-16 names without a byte form of their own are refused, not bent into
// the name of another file.
TEST(FileNames, NamesWithoutByteFormAreRefused) {
    tqtest::TempDir dir;
    const std::u16string cases[] = {
        u"high\xD800",    // a high surrogate alone
        u"low\xDC41",     // an escape of a byte that is valid alone
        u"\xDCC3\xDCA9",  // escapes spelling valid UTF-8 (U+00E9)
        u"x\xDFFF",       // a low surrogate outside the escapes
    };
    for (const std::u16string& name : cases) {
        std::string bytes;
        EXPECT_EQ(TakeError(!NativeFileName(U(name), bytes)), ERROR_INVALID_NAME);
        EXPECT_EQ(OpenName(Wide(dir.path() + "/") + name, W, 0, CREATE_ALWAYS),
                  INVALID_HANDLE_VALUE);
    }
    EXPECT_EQ(EntryCount(dir), 0u);
}

TEST(FileNames, DeleteRemovesFilesAndLinksOnly) {
    tqtest::TempDir dir;
    const std::string target = dir.Path("target");
    fs::create_directory(dir.Path("directory"));
    Touch(target);
    Touch(dir.Path("file"));
    ASSERT_EQ(symlink(target.c_str(), dir.Path("link").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", dir.Path("dangling").c_str()), 0);
    ASSERT_EQ(mkfifo(dir.Path("fifo").c_str(), 0600), 0);
    const std::pair<std::string, bool> cases[] = {
        {"file", true}, {"link", true}, {"dangling", true}, {"fifo", false}, {"directory", false}};
    for (const auto& [name, deletes] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(TakeError(!DeleteFileW(U(WideFileName(dir.Path(name))))),
                  deletes ? ~0u : ERROR_ACCESS_DENIED);
        EXPECT_EQ(fs::exists(fs::symlink_status(dir.Path(name))), !deletes);
    }
    EXPECT_TRUE(fs::exists(target)) << "deleting the link removed its target";
    EXPECT_EQ(TakeError(!DeleteFileW(U(WideFileName(dir.Path("missing"))))), ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace tqplat
