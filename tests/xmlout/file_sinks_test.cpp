// The file and handle sinks: the bytes on disk, directories, locked files,
// discarding, and writes that fail part-way.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "tqplatform/files.h"
#include "xmlout_test_support.h"

namespace xmlout_test {
namespace {

const std::u16string kStart = u"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n";
const std::u16string kExampleLines =
    u"<a x=\"1&lt;2\">\r\n <b>hi</b>\r\n <c/>\r\n <d>\r\n  <![CDATA[  two]]>\r\n </d>\r\n</a>\r\n";

// Enough lines to pass the 16384-byte buffer several times.
CXMLObject LargeTree() {
    CXMLObject root = Node(u"r");
    for (int i = 0; i < 4000; ++i) root.Add(DataNode(u"item", u"some value"));
    return root;
}

std::u16string Formatted(const CXMLObject& tree) {
    StringOut sink(true);
    sink.Open();
    sink.Write(tree);
    return sink.text.substr(1);
}

// The bytes on disk, through directories that do not exist yet, past the
// buffer several times; reopening deletes the earlier file.
TEST(FileSink, WritesTheMarkDeclarationAndFormattedTree) {
    TempDir dir;
    const std::string first = dir.Path("first.xml"), large = dir.Path("one/two/large.xml");
    const CXMLObject tree = LargeTree();
    ASSERT_GT(Formatted(tree).size() * 2, 4u * 16384);
    const struct {
        std::string path;
        CXMLObject tree;
        std::u16string text;
    } cases[] = {{dir.Path("example.xml"), ExampleTree(), kStart + kExampleLines},
                 {large, tree, kStart + Formatted(tree)}};
    for (const auto& c : cases) {
        CXMLFileOut sink;
        ASSERT_TRUE(sink.Open(Wide(first).c_str(), 0));
        ASSERT_TRUE(sink.Open(Wide(c.path).c_str(), 0));
        EXPECT_FALSE(Exists(first));
        ASSERT_TRUE(sink.Write(c.tree));
        ASSERT_TRUE(sink.Close(false));
        EXPECT_EQ(ReadUtf16(c.path), c.text);
    }
    EXPECT_EQ(kStart.size(), 42u) << "the mark and the 41-character declaration";
}

TEST(FileSink, DiscardingDeletesTheFile) {
    TempDir dir;
    const std::string file = dir.Path("gone.xml");
    Capture capture;
    {
        CXMLFileOut sink;
        ASSERT_TRUE(sink.Open(Wide(file).c_str(), 0));
        ASSERT_TRUE(sink.Write(LargeTree()));
        ASSERT_TRUE(sink.Close(true));
        EXPECT_FALSE(Exists(file));
        EXPECT_FALSE(sink.Close(false)) << "already closed";
        ASSERT_TRUE(sink.Open(Wide(file).c_str(), 0));
        ASSERT_TRUE(Exists(file));
        Capture::Reports().clear();
    }
    EXPECT_FALSE(Exists(file)) << "destroying an open sink discards";
    ASSERT_EQ(Capture::Reports().size(), 1u);
    EXPECT_EQ(Capture::Reports()[0].expression, "!m_fOpened");
}

TEST(FileSink, LockedFileIsRetriedUntilTheTimeout) {
    TempDir dir;
    const std::u16string path = Wide(dir.Path("locked.xml"));
    void* holder = tqplat::CreateFileW(W(path.c_str()), tqplat::GENERIC_WRITE, 0, nullptr,
                                       tqplat::CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(holder, tqplat::INVALID_HANDLE_VALUE);
    struct Case {
        std::uint32_t timeout;
        double atLeastMs, belowMs;
    } const cases[] = {{0, 0, 50}, {120, 120, 1000}};
    for (const Case& c : cases) {
        CXMLFileOut sink;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(sink.Open(path.c_str(), c.timeout));
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        EXPECT_EQ(tqplat::GetLastError(), tqplat::ERROR_SHARING_VIOLATION);
        EXPECT_GE(ms, c.atLeastMs);
        EXPECT_LT(ms, c.belowMs);
    }
    ASSERT_TRUE(tqplat::CloseHandle(holder));
    CXMLFileOut sink;
    EXPECT_TRUE(sink.Open(path.c_str(), 0));
    EXPECT_TRUE(sink.Close(false));
}

TEST(FileSink, UnusablePathsFailAtOnce) {
    TempDir dir;
    const std::string plainFile = dir.Path("plain");
    {
        CXMLFileOut blocker;
        ASSERT_TRUE(blocker.Open(Wide(plainFile).c_str(), 0));
        ASSERT_TRUE(blocker.Close(false));
    }
    const std::u16string cases[] = {u"", Wide(plainFile + "/below.xml"), Wide(dir.path())};
    for (const std::u16string& path : cases) {
        CXMLFileOut sink;
        EXPECT_FALSE(sink.Open(path.c_str(), 1000)) << std::string(path.begin(), path.end());
        EXPECT_FALSE(sink.Write(Node(u"x")));
        EXPECT_TRUE(sink.WriteFailed());
    }
}

// Writing into a full device: the write fails part-way, the sink discards,
// and the link through which the file was opened is gone.
TEST(FileSink, WriteFailingPartWayLeavesNoFile) {
    TempDir dir;
    const std::string link = dir.Path("full.xml");
    ASSERT_EQ(symlink("/dev/full", link.c_str()), 0);
    Capture capture;
    CXMLFileOut sink;
    ASSERT_TRUE(sink.Open(Wide(link).c_str(), 0));
    EXPECT_FALSE(sink.Write(LargeTree()));
    EXPECT_FALSE(Exists(link));
    EXPECT_TRUE(Exists("/dev/full"));
    EXPECT_FALSE(sink.Close(false)) << "the failed write closed the sink";
    EXPECT_TRUE(Capture::Reports().empty());
}

TEST(HandleSink, WritesAtTheHandleAndLeavesItOpen) {
    EXPECT_FALSE(CXMLHandleOut().Open(tqplat::INVALID_HANDLE_VALUE));
    TempDir dir;
    const std::string file = dir.Path("handle.xml");
    const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    {
        CXMLHandleOut sink;
        ASSERT_TRUE(sink.Open(tqplat::HandleFromFd(fd)));
        ASSERT_TRUE(sink.Write(ExampleTree()));
        ASSERT_TRUE(sink.Close(false));
    }
    EXPECT_EQ(ReadUtf16(file), kStart + kExampleLines);
    EXPECT_NE(fcntl(fd, F_GETFD), -1) << "the caller's handle stays open";

    {
        CXMLHandleOut sink;
        ASSERT_TRUE(sink.Open(tqplat::HandleFromFd(fd)));
        ASSERT_TRUE(sink.Write(LargeTree()));
        ASSERT_TRUE(sink.Close(true));
    }
    EXPECT_EQ(ReadUtf16(file), u"") << "discarding empties the file";
    EXPECT_NE(fcntl(fd, F_GETFD), -1);
    close(fd);
}

// A small tree waits in the buffer until Close(false), whose flush result is
// ignored: only the write-failure record tells that the output is lost.
TEST(SinkWriteFailed, RecordsFailuresTheResultsIgnore) {
    TempDir dir;
    const std::string file = dir.Path("file.xml");
    close(open(file.c_str(), O_WRONLY | O_CREAT, 0644));
    const int readOnly = open(file.c_str(), O_RDONLY);
    ASSERT_GE(readOnly, 0);
    const int closed = dup(readOnly);
    close(closed);
    struct Sinks {
        CXMLFileOut file;
        CXMLHandleOut handle;
    };
    auto onFile = [](const std::u16string& path) {
        return [path](Sinks& s) { return s.file.Open(path.c_str(), 0) ? &s.file : nullptr; };
    };
    auto onHandle = [](int fd) {
        return [fd](Sinks& s) {
            return s.handle.Open(tqplat::HandleFromFd(fd)) ? &s.handle : nullptr;
        };
    };
    const struct {
        const char* name;
        std::function<CXMLOut*(Sinks&)> open;
        bool failed;
    } cases[] = {
        {"good file", onFile(Wide(file)), false},
        {"full device", onFile(u"/dev/full"), true},
        {"read-only handle", onHandle(readOnly), true},
        {"closed handle", onHandle(closed), true},
    };
    for (const auto& c : cases) {
        Sinks sinks;
        CXMLOut* sink = c.open(sinks);
        ASSERT_NE(sink, nullptr) << c.name;
        EXPECT_FALSE(sink->WriteFailed()) << c.name << ": the start is still in the buffer";
        EXPECT_TRUE(sink->Write(ExampleTree())) << c.name;
        EXPECT_TRUE(sink->Close(false)) << c.name;
        EXPECT_EQ(sink->WriteFailed(), c.failed) << c.name;
    }
    close(readOnly);
}

}  // namespace
}  // namespace xmlout_test
