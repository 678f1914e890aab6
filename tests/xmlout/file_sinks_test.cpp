// The file and handle sinks: the bytes on disk, directories, locked files,
// discarding, and writes that fail part-way.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "tqplatform/files.h"
#include "xmlout_test_support.h"

namespace xmlout_test {
namespace {

// A text too long for the 16384-byte buffer, which goes past it, and then
// enough lines to pass the buffer several times.
CXMLObject LargeTree() {
    CXMLObject root = Node(u"r");
    root.Add(DataNode(u"long", std::u16string(10000, u'x').c_str()));
    for (int i = 0; i < 4000; ++i) root.Add(DataNode(u"item", u"some value"));
    return root;
}

// The bytes on disk, through directories that do not exist yet, past the
// buffer several times; reopening deletes the earlier file.
TEST(FileSink, WritesTheMarkDeclarationAndFormattedTree) {
    TempDir dir;
    const std::string first = dir.Path("first.xml"), path = dir.Path("one/two/large.xml");
    StringOut formatted(true);
    ASSERT_TRUE(formatted.Open());
    ASSERT_TRUE(formatted.Write(LargeTree()));
    const std::u16string text = kStart + formatted.text.substr(1);
    ASSERT_GT(text.size() * 2, 4u * 16384);
    Capture capture(true);
    CXMLFileOut sink;
    ASSERT_TRUE(sink.Open(Wide(first).c_str(), 0));
    ASSERT_TRUE(sink.Open(Wide(path).c_str(), 0));
    EXPECT_FALSE(Exists(first));
    ASSERT_TRUE(sink.Write(LargeTree()));
    ASSERT_TRUE(sink.Close(false));
    EXPECT_EQ(ReadUtf16(path), text);
    // The time line counts the bytes that still wait in the buffer.
    const std::u16string size = u"ms, " + Wide(std::to_string(2 * text.size() / 1024)) + u"kB";
    EXPECT_NE(Capture::AllLog().find(size), std::u16string::npos);
}

// A locked file is retried until the timeout; paths that cannot name a file
// fail, and the sink takes no writes.
TEST(FileSink, LockedFilesAndUnusablePaths) {
    TempDir dir;
    const std::u16string path = Wide(dir.Path("locked.xml"));
    void* holder = tqplat::CreateFileW(W(path.c_str()), tqplat::GENERIC_WRITE, 0, nullptr,
                                       tqplat::CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(holder, tqplat::INVALID_HANDLE_VALUE);
    const std::string plainFile = dir.Write("plain", "");
    for (const std::u16string& unusable :
         {path, std::u16string(), Wide(plainFile + "/below.xml"), Wide(dir.path())}) {
        CXMLFileOut sink;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(sink.Open(unusable.c_str(), 120))
            << std::string(unusable.begin(), unusable.end());
        if (unusable == path) {
            EXPECT_EQ(tqplat::GetLastError(), tqplat::ERROR_SHARING_VIOLATION);
            EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(120));
        }
        EXPECT_FALSE(sink.Write(Node(u"x")));
        EXPECT_TRUE(sink.WriteFailed());
    }
    ASSERT_TRUE(tqplat::CloseHandle(holder));
    CXMLFileOut sink;
    EXPECT_TRUE(sink.Open(path.c_str(), 0));
    EXPECT_TRUE(sink.Close(false));
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
    for (bool discard : {false, true}) {
        CXMLHandleOut sink;
        ASSERT_TRUE(sink.Open(tqplat::HandleFromFd(fd)));
        ASSERT_TRUE(sink.Write(discard ? LargeTree() : ExampleTree()));
        ASSERT_TRUE(sink.Close(discard));
        EXPECT_EQ(ReadUtf16(file), discard ? u"" : kStart + kExampleLines) << "discard empties";
        EXPECT_NE(fcntl(fd, F_GETFD), -1) << "the caller's handle stays open";
    }
    close(fd);
}

// A small tree waits in the buffer until Close(false), whose flush result is
// ignored: only the write-failure record tells that the output is lost.
TEST(SinkWriteFailed, RecordsFailuresTheResultsIgnore) {
    TempDir dir;
    const std::string file = dir.Write("file.xml", "");
    const int readOnly = open(file.c_str(), O_RDONLY);
    auto check = [](CXMLOut& sink, bool opened, bool failed) {
        ASSERT_TRUE(opened);
        EXPECT_FALSE(sink.WriteFailed()) << "the start is still in the buffer";
        EXPECT_TRUE(sink.Write(ExampleTree()));
        EXPECT_TRUE(sink.Close(false));
        EXPECT_EQ(sink.WriteFailed(), failed);
    };
    CXMLFileOut good, full;
    CXMLHandleOut readOnlyHandle;
    check(good, good.Open(Wide(file).c_str(), 0), false);
    check(full, full.Open(u"/dev/full", 0), true);
    check(readOnlyHandle, readOnlyHandle.Open(tqplat::HandleFromFd(readOnly)), true);
    close(readOnly);
}

}  // namespace
}  // namespace xmlout_test
