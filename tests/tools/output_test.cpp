// What tqxmltool leaves behind when its output cannot be written: the old
// file or nothing, never a cut-off one, and an exit code that says so.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tqxml/tqxml.h>
#include <unistd.h>

#include "tool_runner.h"

namespace tooltest {
namespace {

constexpr int kCannotWrite = 5;

// Big enough that its UTF-16 form passes any small file-size limit.
std::string Document() {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<list>";
    for (int i = 0; i < 2000; ++i)
        text += "<item n=\"" + std::to_string(i) + "\">caf\xC3\xA9</item>";
    return text + "</list>";
}

// The bytes the library's file sink writes for `utf8`, the reference for the tool.
std::string FileSinkBytes(const std::string& utf8, const std::string& path) {
    tqcore::CXMLDoc doc;
    EXPECT_TRUE(doc.OpenDocText(reinterpret_cast<const unsigned char*>(utf8.c_str()), 2));
    tqcore::CXMLFileOut out(true);
    const std::u16string wide(path.begin(), path.end());  // ASCII scratch paths
    EXPECT_TRUE(out.Open(wide.c_str(), 0));
    for (unsigned int i = 0; const tqcore::CXMLObject* child = doc.GetContent().item(i); ++i)
        EXPECT_TRUE(out.Write(*child));
    EXPECT_TRUE(out.Close(false));
    return ReadFile(path);
}

TEST(ToolOutput, FormatWritesWhatTheFileSinkWrites) {
    // The content kinds are the serialiser's own tests; a deep tree is the tool's.
    const std::vector<std::string> sources = {Document(), ReadFile(TQXML_CORPUS_DIR "/deep.xml")};
    for (const std::string& source : sources) {
        ASSERT_FALSE(source.empty());
        ScratchDir dir;
        WriteFile(dir / "in.xml", source);
        const ToolRun run = RunTool({"format", dir / "in.xml", dir / "out.xml"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(ReadFile(dir / "out.xml"), FileSinkBytes(source, dir / "expected.xml"));
    }
}

struct FailedFormat {
    const char* name;
    bool outExists;
    bool outIsInput;  // format X X
};

// A file-size limit makes the writes of the output fail part-way.
TEST(ToolOutput, FailedFormatLeavesOldOutputOrNone) {
    const FailedFormat cases[] = {
        {"new OUT", false, false},
        {"existing OUT", true, false},
        {"OUT is IN", true, true},
    };
    const std::string source = Document();
    for (const FailedFormat& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        WriteFile(dir / "in.xml", source);
        const std::string out = c.outIsInput ? dir / "in.xml" : dir / "out.xml";
        if (c.outExists && !c.outIsInput) WriteFile(out, "old contents");
        const std::vector<std::string> before = Entries(dir.path());
        ToolOptions limited;
        limited.fileSizeLimit = source.size();  // the UTF-16 output is about twice that
        const ToolRun run = RunTool({"format", dir / "in.xml", out}, limited);
        EXPECT_EQ(run.exitCode, kCannotWrite) << run.err;
        EXPECT_NE(run.err.find("cannot be written"), std::string::npos) << run.err;
        EXPECT_EQ(Entries(dir.path()), before) << "a temporary file was left behind";
        EXPECT_EQ(ReadFile(dir / "in.xml"), source);
        if (c.outExists && !c.outIsInput) {
            EXPECT_EQ(ReadFile(out), "old contents");
        }
        if (!c.outExists) {
            EXPECT_FALSE(Exists(out));
        }
    }
}

TEST(ToolOutput, ReplacedOutputKeepsModeAndLink) {
    ScratchDir dir;
    WriteFile(dir / "in.xml", "<a><b/></a>");
    WriteFile(dir / "target.xml", "old");
    ASSERT_EQ(chmod((dir / "target.xml").c_str(), 0640), 0);
    ASSERT_EQ(symlink("target.xml", (dir / "link.xml").c_str()), 0);
    const ToolRun run = RunTool({"format", dir / "in.xml", dir / "link.xml"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    struct stat link {
    }, target{};
    ASSERT_EQ(lstat((dir / "link.xml").c_str(), &link), 0);
    ASSERT_EQ(stat((dir / "target.xml").c_str(), &target), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    EXPECT_EQ(target.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadFile(dir / "target.xml").substr(0, 2), "\xFF\xFE");
}

struct StdoutFailure {
    const char* name;
    std::vector<std::string> args;
    bool closed;  // else /dev/full
};

TEST(ToolOutput, FailedStandardOutputExitsFive) {
    ScratchDir dir;
    WriteFile(dir / "in.xml", Document());
    const StdoutFailure cases[] = {
        {"check into /dev/full", {"check", dir / "in.xml"}, false},    // fails at the flush
        {"format into /dev/full", {"format", dir / "in.xml"}, false},  // fails while writing
        {"sample into /dev/full", {}, false},
        {"stats into closed stdout", {"stats", dir / "in.xml"}, true},
    };
    for (const StdoutFailure& c : cases) {
        SCOPED_TRACE(c.name);
        ToolOptions options;
        options.closeStdout = c.closed;
        if (!c.closed) options.stdoutPath = "/dev/full";
        const ToolRun run = RunTool(c.args, options);
        EXPECT_EQ(run.exitCode, kCannotWrite) << run.err;
        EXPECT_NE(run.err.find("standard output"), std::string::npos) << run.err;
    }
}

// With standard output closed, the output file must not take its place.
TEST(ToolOutput, ClosedStdoutDoesNotLeakIntoOutputFile) {
    ScratchDir dir;
    WriteFile(dir / "in.xml", "<a/>");
    ToolOptions closed;
    closed.closeStdout = true;
    const ToolRun run = RunTool({"format", dir / "in.xml", dir / "out.xml"}, closed);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFile(dir / "out.xml"), FileSinkBytes("<a/>", dir / "expected.xml"));
}

TEST(ToolOutput, DeviceAsOutIsWrittenNotReplaced) {
    ScratchDir dir;
    WriteFile(dir / "in.xml", "<a/>");
    EXPECT_EQ(RunTool({"format", dir / "in.xml", "/dev/full"}).exitCode, kCannotWrite);
    EXPECT_EQ(RunTool({"format", dir / "in.xml", "/dev/null"}).exitCode, 0);
    struct stat null {};
    ASSERT_EQ(stat("/dev/null", &null), 0);
    EXPECT_TRUE(S_ISCHR(null.st_mode));
}

}  // namespace
}  // namespace tooltest
