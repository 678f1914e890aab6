#include "tqcore/fileutil.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "contract_test_support.h"

namespace {

using tqtest::W;

// ASCII test paths only: a plain widening is enough.
std::u16string wide(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

void* handleOf(int fd) {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(fd));
}

bool isDirectory(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

struct SeparatorCase {
    const char16_t* path;
    int index;  // -1: none
};

class FindLastSeparatorTest : public ::testing::TestWithParam<SeparatorCase> {};

TEST_P(FindLastSeparatorTest, PointsIntoTheGivenPath) {
    std::u16string path = GetParam().path;
    unsigned short* start = reinterpret_cast<unsigned short*>(&path[0]);
    unsigned short* found = tqcore::FU_FindLastSeparator(start);
    if (GetParam().index < 0) {
        EXPECT_EQ(found, nullptr);
    } else {
        EXPECT_EQ(found, start + GetParam().index);
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, FindLastSeparatorTest,
                         ::testing::Values(SeparatorCase{u"", -1}, SeparatorCase{u"file.xml", -1},
                                           SeparatorCase{u"/", 0}, SeparatorCase{u"/a/b/c.xml", 4},
                                           SeparatorCase{u"a/b/", 3}, SeparatorCase{u"a\\b", 1},
                                           SeparatorCase{u"a/b\\c", 3},
                                           SeparatorCase{u"a\\b/c", 3}));

TEST(FindLastSeparatorNullTest, NullPathGivesNull) {
    EXPECT_EQ(tqcore::FU_FindLastSeparator(nullptr), nullptr);
}

class FileUtilTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tqfileutil-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        // The name a descriptor reports is the resolved one.
        char resolved[PATH_MAX];
        ASSERT_NE(::realpath(pattern, resolved), nullptr);
        m_root = resolved;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    std::string path(const std::string& relative) const { return m_root + "/" + relative; }
    void makeFile(const std::string& relative) const {
        const int fd = ::open(path(relative).c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    std::string m_root;
};

TEST_F(FileUtilTest, CreatePathMakesEveryMissingLevel) {
    for (const char* relative : {"a/b/c/d", "a/b/e", "f//g/", "a/b/c/d"}) {
        const std::string target = path(relative);
        EXPECT_TRUE(tqcore::FU_CreatePath(W(wide(target).c_str()))) << target;
        EXPECT_TRUE(isDirectory(target)) << target;
    }
    EXPECT_TRUE(tqcore::FU_CreatePath(W(u"/")));
}

TEST_F(FileUtilTest, CreatePathConvertsNamesToUtf8) {
    const std::u16string target = wide(m_root) + u"/caf\u00e9/\u20ac";
    EXPECT_TRUE(tqcore::FU_CreatePath(W(target.c_str())));
    EXPECT_TRUE(isDirectory(m_root + "/caf\xc3\xa9/\xe2\x82\xac"));
}

TEST_F(FileUtilTest, CreatePathFailsWhenAFileIsInTheWay) {
    makeFile("file");
    for (const char* relative : {"file", "file/sub", "file/sub/deeper"}) {
        EXPECT_FALSE(tqcore::FU_CreatePath(W(wide(path(relative)).c_str()))) << relative;
    }
    EXPECT_FALSE(isDirectory(path("file/sub")));
}

TEST(CreatePathArgumentTest, NullAndEmptyPathsFail) {
    EXPECT_FALSE(tqcore::FU_CreatePath(nullptr));
    EXPECT_FALSE(tqcore::FU_CreatePath(W(u"")));
}

TEST_F(FileUtilTest, FilenameFromHandleGivesTheOpenFilesPath) {
    makeFile("named.xml");
    const std::string name = path("named.xml");
    const int fd = ::open(name.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    unsigned short buffer[260];
    EXPECT_TRUE(tqcore::FU_FilenameFromHandle(handleOf(fd), buffer, 260));
    EXPECT_EQ(tqtest::U16(buffer), wide(name));
    ::close(fd);
}

// The name and its terminator must fit; nothing is written past the capacity.
TEST_F(FileUtilTest, FilenameFromHandleRespectsTheCapacity) {
    makeFile("sized.xml");
    const std::string name = path("sized.xml");
    const int fd = ::open(name.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const unsigned int exact = static_cast<unsigned int>(name.size()) + 1;
    for (unsigned int capacity : {exact, exact - 1, exact - 2, 1u}) {
        std::u16string buffer(exact + 8, u'#');
        const bool fits = capacity == exact;
        EXPECT_EQ(tqcore::FU_FilenameFromHandle(
                      handleOf(fd), reinterpret_cast<unsigned short*>(&buffer[0]), capacity),
                  fits)
            << capacity;
        EXPECT_EQ(buffer.find_first_not_of(u'#', capacity), std::u16string::npos)
            << "overrun at " << capacity;
        if (fits) {
            EXPECT_EQ(buffer.substr(0, exact - 1), wide(name));
            EXPECT_EQ(buffer[exact - 1], u'\0');
        } else {
            EXPECT_EQ(buffer[0], u'\0') << "a failed call leaves an empty name";
        }
    }
    EXPECT_FALSE(tqcore::FU_FilenameFromHandle(handleOf(fd), nullptr, 260));
    ::close(fd);
}

TEST_F(FileUtilTest, FilenameFromHandleFailsWithoutAFileName) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    makeFile("gone.xml");
    const int deleted = ::open(path("gone.xml").c_str(), O_RDONLY);
    ASSERT_GE(deleted, 0);
    ASSERT_EQ(::unlink(path("gone.xml").c_str()), 0);
    makeFile("closed.xml");
    const int closed = ::open(path("closed.xml").c_str(), O_RDONLY);
    ASSERT_GE(closed, 0);
    ::close(closed);

    struct Case {
        const char* what;
        void* handle;
    };
    const Case cases[] = {
        {"invalid handle", reinterpret_cast<void*>(static_cast<std::intptr_t>(-1))},
        {"closed descriptor", handleOf(closed)},
        {"pipe", handleOf(pipeEnds[0])},
        {"deleted file", handleOf(deleted)},
        {"pointer-sized garbage", reinterpret_cast<void*>(std::uintptr_t{0x7fff00000003})}};
    for (const Case& c : cases) {
        unsigned short buffer[260];
        buffer[0] = u'#';
        EXPECT_FALSE(tqcore::FU_FilenameFromHandle(c.handle, buffer, 260)) << c.what;
        EXPECT_EQ(buffer[0], 0) << c.what;
    }
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    ::close(deleted);
}

}  // namespace
