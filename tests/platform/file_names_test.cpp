// Paths as Windows takes them: never longer than MAX_PATH, names that map
// between UTF-16 and the system's bytes without loss, and deletion of files
// and links only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tqplatform/filenames.h"
#include "tqplatform/files.h"

using namespace tqplat;

namespace {

const unsigned short* U(const std::u16string& s) {
    return reinterpret_cast<const unsigned short*>(s.c_str());
}

class FileNamesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tqplat-names-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::u16string Wide(const std::string& bytes) const { return WideFileName(bytes); }
    std::size_t EntryCount() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir_),
                                                      std::filesystem::directory_iterator()));
    }

    std::string dir_;
};

TEST_F(FileNamesTest, PathsOfMaxPathUnitsOrMoreAreRefusedNotShortened) {
    struct Case {
        std::size_t units;  // path length without the terminator
        bool opens;
    };
    const Case cases[] = {{MAX_PATH - 2, true},
                          {MAX_PATH - 1, true},
                          {MAX_PATH, false},
                          {MAX_PATH + 1, false},
                          {4000, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.units);
        std::string path = dir_ + "/";
        // Components stay within the system's 255 bytes.
        while (path.size() + 200 < c.units) path += std::string(199, 'd') + "/";
        path += std::string(c.units - path.size(), 'f');
        ASSERT_EQ(path.size(), c.units);
        std::filesystem::create_directories(path.substr(0, path.rfind('/')));
        const std::u16string name = Wide(path);

        HANDLE h = CreateFileW(U(name), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        if (!c.opens) {
            EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
        }
        EXPECT_EQ(std::filesystem::exists(path), c.opens);

        EXPECT_EQ(DeleteFileW(U(name)), c.opens);
        if (!c.opens) {
            EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
        }
        std::filesystem::remove_all(dir_ + "/" + std::string(199, 'd'));
        EXPECT_EQ(EntryCount(), 0u) << "a shortened name was created";
    }
}

// Every byte string the system may list comes back as the same bytes, and
// the file opens under its UTF-16 name.
TEST_F(FileNamesTest, SystemNamesRoundTripAndOpen) {
    struct Case {
        const char* what;
        std::string bytes;
        std::u16string wide;
    };
    const Case cases[] = {
        {"ASCII", "plain.xml", u"plain.xml"},
        {"UTF-8", "caf\xC3\xA9", u"caf\u00E9"},
        {"outside the BMP", "\xF0\x9F\x98\x80", u"\U0001F600"},
        {"Latin-1 byte", "caf\xE9", u"caf\xDCE9"},
        {"stray bytes", "\xFF\xFE", u"\xDCFF\xDCFE"},
        {"cut-off sequence", "a\xC3", u"a\xDCC3"},
        {"encoded surrogate", "\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},
        {"overlong slash", "\xC0\xAF", u"\xDCC0\xDCAF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir_ + "/" + c.bytes;
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        close(fd);
        EXPECT_EQ(WideFileName(c.bytes), c.wide);
        std::string back;
        ASSERT_TRUE(NativeFileName(U(c.wide), back));
        EXPECT_EQ(back, c.bytes);

        HANDLE h = CreateFileW(U(Wide(path)), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               0, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        EXPECT_TRUE(DeleteFileW(U(Wide(path))));
    }
}

// UTF-16 names without a byte form of their own are refused, not bent into
// the name of another file.
TEST_F(FileNamesTest, NamesWithoutByteFormAreRefused) {
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
        const std::u16string path = Wide(dir_ + "/") + name;
        EXPECT_EQ(CreateFileW(U(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
                  INVALID_HANDLE_VALUE);
    }
    EXPECT_EQ(EntryCount(), 0u);
}

TEST_F(FileNamesTest, DeleteRemovesFilesAndLinksOnly) {
    struct Case {
        const char* what;
        bool deletes;
    };
    const std::string target = dir_ + "/target";
    std::filesystem::create_directory(dir_ + "/directory");
    ASSERT_EQ(close(open(target.c_str(), O_WRONLY | O_CREAT, 0600)), 0);
    ASSERT_EQ(close(open((dir_ + "/file").c_str(), O_WRONLY | O_CREAT, 0600)), 0);
    ASSERT_EQ(symlink(target.c_str(), (dir_ + "/link").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (dir_ + "/dangling").c_str()), 0);
    ASSERT_EQ(mkfifo((dir_ + "/fifo").c_str(), 0600), 0);
    // A device node of our own, so a failure cannot remove a real one.
    const bool haveDevice = mknod((dir_ + "/device").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
    const Case cases[] = {
        {"file", true},  {"link", true},       {"dangling", true},
        {"fifo", false}, {"directory", false}, {"device", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (std::string(c.what) == "device" && !haveDevice) continue;  // no CAP_MKNOD here
        const std::string path = dir_ + "/" + c.what;
        EXPECT_EQ(DeleteFileW(U(Wide(path))), c.deletes);
        if (!c.deletes) {
            EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
        }
        EXPECT_EQ(std::filesystem::exists(std::filesystem::symlink_status(path)), !c.deletes);
    }
    EXPECT_TRUE(std::filesystem::exists(target)) << "deleting the link removed its target";
    EXPECT_FALSE(DeleteFileW(U(Wide(dir_ + "/missing"))));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
