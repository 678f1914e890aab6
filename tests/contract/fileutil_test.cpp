#include "tqcore/fileutil.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <string>

#include "contract_test_support.h"
#include "support/temp_dir.h"

namespace {

using tqtest::W;

void* handleOf(int fd) {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(fd));
}

class FileUtil : public ::testing::Test {
  protected:
    void SetUp() override {
        char resolved[PATH_MAX];  // the name a descriptor reports is the resolved one
        ASSERT_NE(::realpath(m_dir.path().c_str(), resolved), nullptr);
        m_root = resolved;
    }
    std::string path(const std::string& relative) const { return m_root + "/" + relative; }
    // The path as UTF-16; ASCII only, so a plain widening.
    std::u16string wide(const std::string& relative) const {
        const std::string p = path(relative);
        return std::u16string(p.begin(), p.end());
    }
    bool isDirectory(const std::string& relative) const {
        struct stat info;
        return ::stat(path(relative).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }
    int openNew(const std::string& relative) const {
        return ::open(path(relative).c_str(), O_CREAT | O_RDONLY, 0644);
    }
    tqtest::TempDir m_dir;
    std::string m_root;
};

TEST_F(FileUtil, CreatePathMakesEveryMissingLevelInUtf8AndFailsOnAFileInTheWay) {
    for (const char* relative : {"a/b/c/d", "a/b/e", "f//g/", "a/b/c/d"}) {
        EXPECT_TRUE(tqcore::FU_CreatePath(W(wide(relative).c_str()))) << relative;
        EXPECT_TRUE(isDirectory(relative)) << relative;
    }
    EXPECT_TRUE(tqcore::FU_CreatePath(W(u"/")));
    EXPECT_TRUE(tqcore::FU_CreatePath(W((wide("") + u"caf\u00e9/\u20ac").c_str())));
    EXPECT_TRUE(isDirectory("caf\xc3\xa9/\xe2\x82\xac"));
    ::close(openNew("file"));
    for (const char* relative : {"file", "file/sub", "file/sub/deeper"})
        EXPECT_FALSE(tqcore::FU_CreatePath(W(wide(relative).c_str()))) << relative;
    EXPECT_FALSE(isDirectory("file/sub"));
    EXPECT_FALSE(tqcore::FU_CreatePath(nullptr) || tqcore::FU_CreatePath(W(u"")));
    EXPECT_EQ(tqcore::FU_FindLastSeparator(nullptr), nullptr);
}

// The name and its terminator must fit; nothing is written past the capacity.
TEST_F(FileUtil, FilenameFromHandleRespectsTheCapacity) {
    const int fd = openNew("sized.xml");
    const std::u16string name = wide("sized.xml");
    const unsigned int exact = static_cast<unsigned int>(name.size()) + 1;
    for (unsigned int capacity : {exact + 100, exact, exact - 1, 1u}) {
        std::u16string buffer(exact + 108, u'#');
        const bool fits = capacity >= exact;
        EXPECT_EQ(tqcore::FU_FilenameFromHandle(
                      handleOf(fd), reinterpret_cast<unsigned short*>(&buffer[0]), capacity),
                  fits)
            << capacity;
        EXPECT_EQ(buffer.find_first_not_of(u'#', fits ? exact : capacity), std::u16string::npos)
            << "overrun at " << capacity;
        EXPECT_EQ(buffer.substr(0, fits ? exact : 1), fits ? name + u'\0' : std::u16string(1, 0));
    }
    EXPECT_FALSE(tqcore::FU_FilenameFromHandle(handleOf(fd), nullptr, 260));
    ::close(fd);
}

}  // namespace
