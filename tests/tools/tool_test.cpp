// tqxmltool end to end: documents saved in other encodings read the same,
// inputs that are not plain files or cannot be read get a clear result
// promptly, and output that cannot be written leaves the old file or none.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tqplatform/files.h>

#include "tool_runner.h"

namespace tooltest {
namespace {

constexpr int kCannotRead = 3, kCannotWrite = 5;

std::string Declared(const char* encoding, const std::string& body) {
    return std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>\n" + body;
}

// Each saving is checked and formatted into a file; the outputs are all the same.
TEST(ToolEncoding, LatinTextReadsTheSameInEveryEncoding) {
    const std::string body = "<a t=\"caf\xC3\xA9\">na\xC3\xAFve</a>";
    const std::string mark8 = "\xEF\xBB\xBF";
    const std::tuple<const char*, std::string, const char*> savings[] = {
        // name, bytes, read as
        {"UTF-8 with mark", mark8 + Declared("UTF-8", body), "UTF-8 (byte-order mark)"},
        {"UTF-8 without mark", Declared("UTF-8", body), "UTF-8 (declaration)"},
        {"UTF-8 undeclared", body, "UTF-8 (valid UTF-8"},
        {"UTF-16LE", Encode(mark8 + Declared("UTF-16", body), "UTF-16LE"), "UTF-16LE"},
        {"UTF-16BE", Encode(mark8 + Declared("UTF-16", body), "UTF-16BE"), "UTF-16BE"},
        {"UTF-16LE without mark", Encode(Declared("UTF-16", body), "UTF-16LE"), "UTF-16LE"},
        {"UTF-32BE", Encode(mark8 + Declared("UTF-32", body), "UTF-32BE"), "UTF-32BE"},
        {"ISO-8859-1", Encode(Declared("ISO-8859-1", body), "ISO-8859-1"), "ISO-8859-1"},
        {"ANSI undeclared", Encode(body, "WINDOWS-1252"), "Windows-1252"},
    };
    const TempDir dir;
    std::string first;
    for (const auto& [name, bytes, readAs] : savings) {
        SCOPED_TRACE(name);
        const std::string in = dir.Write("in.xml", bytes);
        const ToolRun check = RunTool({"check", in});
        EXPECT_EQ(check.exitCode, 0) << check.err;
        EXPECT_NE(check.out.find(std::string("read as ") + readAs), std::string::npos) << check.out;
        EXPECT_EQ(RunTool({"format", in, dir.Path("out.xml")}).exitCode, 0);
        const std::string out = ReadBytes(dir.Path("out.xml"));
        if (first.empty()) first = out;
        EXPECT_EQ(out, first);
    }
    // The shared output holds the accented letters, not a shared misreading.
    EXPECT_NE(first.find(std::string("c\0a\0f\0\xE9\0", 8)), std::string::npos);
}

// Inputs the tool cannot read (a locked file too) and text it cannot decode:
// the exit code, the reason, promptly, and no output file.
TEST(ToolInput, UnreadableInputsAndTextSayWhy) {
    const TempDir dir;
    // A sparse file: 4 GiB on paper, nothing on disk.
    const int fd = open(dir.Path("huge.xml").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_EQ(ftruncate(fd, off_t{1} << 32), 0);
    close(fd);
    const std::string held = dir.Write("held.xml", "<a/>");  // by this process, without sharing
    tqplat::HANDLE holder =
        tqplat::CreateFileW(reinterpret_cast<const unsigned short*>(Wide(held).c_str()),
                            tqplat::GENERIC_WRITE, 0, nullptr, tqplat::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, tqplat::INVALID_HANDLE_VALUE);
    const std::tuple<std::string, int, const char*> cases[] = {
        {dir.Path("huge.xml"), kCannotRead, "4 GiB"},
        {dir.path(), kCannotRead, "directory"},
        {dir.Path("missing.xml"), kCannotRead, "no such file"},
        {held, 4, "locked by another program"},
        {"/dev/null", 1, "not XML"},
        {dir.Write("a", Declared("x-no-such-encoding", "<a/>")), 1, "does not know"},
        {dir.Write("b", Declared("Shift_JIS", "<a>\x81</a>")), 1, "Shift_JIS"},
        {dir.Write("c", Declared("UTF-8", "<a>caf\xE9</a>")), 1, "not valid UTF-8"},
        {dir.Write("d", std::string("<a/>\0<b/>", 9)), 1, "NUL"},
        {dir.Write("e", std::string("\xFF\xFE<\0a\0/\0>\0!", 11)), 1, "UTF-16"},
    };
    for (const auto& [path, exitCode, message] : cases) {
        const ToolRun run = RunTool({"format", path, dir.Path("out.xml")});
        EXPECT_EQ(run.exitCode, exitCode) << run.err;
        EXPECT_LT(run.seconds, 10);
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_FALSE(Exists(dir.Path("out.xml")));
    }
    tqplat::CloseHandle(holder);
}

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

TEST(ToolInput, StandardInputIsRead) {
    const std::string text = "<a t=\"caf\xC3\xA9\"><b/></a>";
    ToolOptions piped;
    piped.input = text;
    const ToolRun fromStdin = RunTool({"format", "-"}, piped);
    EXPECT_EQ(fromStdin.exitCode, 0) << fromStdin.err;
    EXPECT_EQ(fromStdin.out, "<a t=\"caf\xC3\xA9\">\r\n <b/>\r\n</a>\r\n");
}

// Big enough that its UTF-16 form passes any small file-size limit.
std::string Document() {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<list>";
    for (int i = 0; i < 2000; ++i)
        text += "<item n=\"" + std::to_string(i) + "\">caf\xC3\xA9</item>";
    return text + "</list>";
}

// Packed in either string width, a document unpacks to what format writes;
// with standard output closed, the output file must not take its place.
TEST(ToolOutput, PackedImagesUnpackToTheFormattedText) {
    ToolOptions closed;
    closed.closeStdout = true;
    const TempDir dir;
    const std::string in = dir.Write("in.xml", Document());
    ASSERT_EQ(RunTool({"format", in, dir.Path("formatted.xml")}, closed).exitCode, 0);
    for (const char* strings : {"--utf8", ""}) {
        std::vector<std::string> pack{"pack", in, dir.Path("image")};
        if (*strings) pack.push_back(strings);
        ASSERT_EQ(RunTool(pack).exitCode, 0);
        ASSERT_EQ(RunTool({"unpack", dir.Path("image"), dir.Path("unpacked.xml")}).exitCode, 0);
        EXPECT_EQ(ReadBytes(dir.Path("unpacked.xml")), ReadBytes(dir.Path("formatted.xml")));
    }
    // XML text is no image.
    EXPECT_EQ(RunTool({"unpack", in, dir.Path("wrong.xml")}).exitCode, 1);
    EXPECT_FALSE(Exists(dir.Path("wrong.xml")));
}

// A file-size limit makes the writes of the output fail part-way.
TEST(ToolOutput, FailedFormatLeavesOldOutputOrNone) {
    const std::string source = Document();
    for (const char* out : {"new.xml", "old.xml", "in.xml"}) {
        const TempDir dir;
        const std::string in = dir.Write("in.xml", source);
        dir.Write("old.xml", "old contents");
        const std::vector<std::string> before = Entries(dir.path());
        ToolOptions limited;
        limited.fileSizeLimit = source.size();  // the UTF-16 output is about twice that
        const ToolRun run = RunTool({"format", in, dir.Path(out)}, limited);
        EXPECT_EQ(run.exitCode, kCannotWrite) << run.err;
        EXPECT_NE(run.err.find("cannot be written"), std::string::npos) << run.err;
        EXPECT_EQ(Entries(dir.path()), before) << "a temporary file was left behind";
        EXPECT_EQ(ReadBytes(in), source);
        EXPECT_EQ(ReadBytes(dir.Path("old.xml")), "old contents");
    }
}

TEST(ToolOutput, ReplacedOutputKeepsModeAndLinkAndDevicesAreWrittenNotReplaced) {
    const TempDir dir;
    const std::string in = dir.Write("in.xml", "<a><b/></a>");
    const std::string target = dir.Write("target.xml", "old");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(symlink("target.xml", dir.Path("link.xml").c_str()), 0);
    const ToolRun run = RunTool({"format", in, dir.Path("link.xml")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    struct stat link {
    }, replaced{};
    ASSERT_EQ(lstat(dir.Path("link.xml").c_str(), &link), 0);
    ASSERT_EQ(stat(target.c_str(), &replaced), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    EXPECT_EQ(replaced.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadBytes(target).substr(0, 2), "\xFF\xFE");

    EXPECT_EQ(RunTool({"format", in, "/dev/full"}).exitCode, kCannotWrite);
    EXPECT_EQ(RunTool({"format", in, "/dev/null"}).exitCode, 0);
}

TEST(ToolOutput, FailedStandardOutputExitsFive) {
    const TempDir dir;
    const std::string in = dir.Write("in.xml", Document());
    const std::pair<std::vector<std::string>, bool> cases[] = {
        // arguments, closed or /dev/full
        {{"check", in}, false},   // fails at the flush
        {{"format", in}, false},  // fails while writing
        {{}, false},
        {{"stats", in}, true},
    };
    for (const auto& [args, closed] : cases) {
        ToolOptions options;
        options.closeStdout = closed;
        if (!closed) options.stdoutPath = "/dev/full";
        const ToolRun run = RunTool(args, options);
        EXPECT_EQ(run.exitCode, kCannotWrite) << run.err;
        EXPECT_NE(run.err.find("standard output"), std::string::npos) << run.err;
    }
}

}  // namespace
}  // namespace tooltest
