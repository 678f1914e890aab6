// Paths as Windows takes them: never longer than MAX_PATH, names that map
// between UTF-16 and the system's bytes without loss, and deletion of files
// and links only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>

#include "platform_test_support.h"
#include "tqplatform/filenames.h"

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

TEST(FileNames, PathsOfMaxPathUnitsOrMoreAreRefusedNotShortened) {
    tqtest::TempDir dir;
    for (const std::size_t units : {MAX_PATH - 1u, MAX_PATH + 0u, 4000u}) {
        SCOPED_TRACE(units);
        const bool fits = units < MAX_PATH;
        std::string path = dir.path() + "/";
        // Components stay within the system's 255 bytes.
        while (path.size() + 200 < units) path += std::string(199, 'd') + "/";
        path += std::string(units - path.size(), 'f');
        fs::create_directories(path.substr(0, path.rfind('/')));
        HANDLE h = CreateFileW(U(WideFileName(path)), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                               nullptr);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, fits);
        EXPECT_TRUE(fits || GetLastError() == ERROR_PATH_NOT_FOUND);
        CloseHandle(h);
        EXPECT_EQ(fs::exists(path), fits);
        EXPECT_EQ(DeleteFileW(U(WideFileName(path))), fits);
        EXPECT_TRUE(fits || GetLastError() == ERROR_PATH_NOT_FOUND);
        fs::remove_all(dir.Path(std::string(199, 'd')));
        EXPECT_EQ(EntryCount(dir), 0u) << "a shortened name was created";
    }
}

// Every byte string the system may list comes back as the same bytes, and
// the file opens under its UTF-16 name.
TEST(FileNames, SystemNamesRoundTripAndOpen) {
    tqtest::TempDir dir;
    const struct {
        std::string bytes;
        std::u16string wide;
    } cases[] = {
        {"plain.xml", u"plain.xml"},
        {"caf\xC3\xA9", u"caf\u00E9"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},      // outside the BMP
        {"caf\xE9", u"caf\xDCE9"},                // a Latin-1 byte
        {"\xFF\xFE", u"\xDCFF\xDCFE"},            // stray bytes
        {"a\xC3", u"a\xDCC3"},                    // a cut-off sequence
        {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},  // an encoded surrogate
        {"\xC0\xAF", u"\xDCC0\xDCAF"},            // an overlong slash
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const std::string path = dir.Path(c.bytes);
        Touch(path);
        EXPECT_EQ(WideFileName(c.bytes), c.wide);
        std::string back;
        ASSERT_TRUE(NativeFileName(U(c.wide), back));
        EXPECT_EQ(back, c.bytes);
        HANDLE h = CreateFileW(U(WideFileName(path)), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
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
        EXPECT_FALSE(NativeFileName(U(name), bytes));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
        EXPECT_EQ(CreateFileW(U(Wide(dir.path() + "/") + name), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr),
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
    // A device node of our own, so a failure cannot remove a real one.
    const bool haveDevice = mknod(dir.Path("device").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
    const std::pair<std::string, bool> cases[] = {{"file", true},       {"link", true},
                                                  {"dangling", true},   {"fifo", false},
                                                  {"directory", false}, {"device", false}};
    for (const auto& [name, deletes] : cases) {
        SCOPED_TRACE(name);
        if (name == "device" && !haveDevice) continue;  // no CAP_MKNOD here
        EXPECT_EQ(DeleteFileW(U(WideFileName(dir.Path(name)))), deletes);
        EXPECT_TRUE(deletes || GetLastError() == ERROR_ACCESS_DENIED);
        EXPECT_EQ(fs::exists(fs::symlink_status(dir.Path(name))), !deletes);
    }
    EXPECT_TRUE(fs::exists(target)) << "deleting the link removed its target";
    EXPECT_FALSE(DeleteFileW(U(WideFileName(dir.Path("missing")))));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace tqplat
