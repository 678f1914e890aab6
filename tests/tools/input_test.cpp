// Inputs that are not plain files, inputs that are too large and inputs held
// by another program: a clear result, promptly.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tqplatform/files.h>
#include <unistd.h>

#include <thread>

#include "tool_runner.h"

namespace tooltest {
namespace {

constexpr int kCannotRead = 3;

TEST(ToolInput, FifoGivesUpPromptlyWithoutAWriterAndIsReadWithALateOne) {
    const TempDir dir;
    const std::string fifo = dir.Path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const ToolRun alone = RunTool({"check", fifo});
    EXPECT_EQ(alone.exitCode, kCannotRead) << alone.err;
    EXPECT_LT(alone.seconds, 10);
    EXPECT_NE(alone.err.find("no program writes"), std::string::npos) << alone.err;
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const int fd = open(fifo.c_str(), O_WRONLY);  // waits for the tool to open it
        const std::string text = "<a><b>text</b></a>";
        EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        close(fd);
    });
    const ToolRun run = RunTool({"check", fifo});
    writer.join();
    EXPECT_EQ(run.exitCode, 0) << run.err;
}

TEST(ToolInput, StreamsAreRead) {
    const std::string text = "<a t=\"caf\xC3\xA9\"><b/></a>";
    ToolOptions piped;
    piped.input = text;
    const ToolRun fromStdin = RunTool({"format", "-"}, piped);
    EXPECT_EQ(fromStdin.exitCode, 0) << fromStdin.err;
    EXPECT_EQ(fromStdin.out, "<a t=\"caf\xC3\xA9\">\r\n <b/>\r\n</a>\r\n");
    // What a shell's process substitution hands over: /dev/fd/N of a pipe.
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    ASSERT_EQ(write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fds[1]);
    ToolOptions inherited;
    inherited.inheritedFd = fds[0];
    const ToolRun fromFd = RunTool({"format", "/dev/fd/" + std::to_string(fds[0])}, inherited);
    close(fds[0]);
    EXPECT_EQ(fromFd.out, fromStdin.out);
}

TEST(ToolInput, UnreadableInputsSayWhy) {
    const TempDir dir;
    // A sparse file: 4 GiB on paper, nothing on disk.
    const int fd = open(dir.Path("huge.xml").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_EQ(ftruncate(fd, off_t{1} << 32), 0);
    close(fd);
    const std::tuple<std::string, int, const char*> cases[] = {
        {dir.Path("huge.xml"), kCannotRead, "4 GiB"},
        {dir.path(), kCannotRead, "directory"},
        {dir.Path("missing.xml"), kCannotRead, "no such file"},
        {"/dev/null", 1, "not XML"},
    };
    for (const auto& [path, exitCode, message] : cases) {
        const ToolRun run = RunTool({"stats", path});
        EXPECT_EQ(run.exitCode, exitCode) << run.err;
        EXPECT_LT(run.seconds, 10);
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    }
}

TEST(ToolInput, FileHeldWithoutSharingIsReportedLocked) {
    const TempDir dir;
    const std::string path = dir.Write("in.xml", "<a/>");
    const std::u16string wide(path.begin(), path.end());
    tqplat::HANDLE held =
        tqplat::CreateFileW(reinterpret_cast<const unsigned short*>(wide.c_str()),
                            tqplat::GENERIC_WRITE, 0, nullptr, tqplat::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, tqplat::INVALID_HANDLE_VALUE);
    const ToolRun run = RunTool({"check", path});
    tqplat::CloseHandle(held);
    EXPECT_EQ(run.exitCode, 4) << run.err;  // locked
    EXPECT_EQ(RunTool({"check", path}).exitCode, 0);
}

}  // namespace
}  // namespace tooltest
