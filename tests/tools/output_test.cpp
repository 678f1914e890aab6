// What tqxmltool writes, and what it leaves behind when its output cannot be
// written: the old file or nothing, never a cut-off one, and an exit code
// that says so.
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
    return ReadBytes(path);
}

// With standard output closed, the output file must not take its place.
TEST(ToolOutput, FormatWritesWhatTheFileSinkWritesAndPacksUnpackToIt) {
    ToolOptions closed;
    closed.closeStdout = true;
    // The content kinds are the serialiser's own tests; a deep tree is the tool's.
    for (const std::string& source : {ReadBytes(TQXML_CORPUS_DIR "/deep.xml"), Document()}) {
        const TempDir dir;
        const std::string in = dir.Write("in.xml", source);
        const ToolRun run = RunTool({"format", in, dir.Path("out.xml")}, closed);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(ReadBytes(dir.Path("out.xml")), FileSinkBytes(source, dir.Path("expected.xml")));
    }
    const TempDir dir;
    const std::string in = dir.Write("in.xml", Document());
    ASSERT_EQ(RunTool({"format", in, dir.Path("formatted.xml")}).exitCode, 0);
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
    }, replaced{}, null{};
    ASSERT_EQ(lstat(dir.Path("link.xml").c_str(), &link), 0);
    ASSERT_EQ(stat(target.c_str(), &replaced), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    EXPECT_EQ(replaced.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadBytes(target).substr(0, 2), "\xFF\xFE");

    EXPECT_EQ(RunTool({"format", in, "/dev/full"}).exitCode, kCannotWrite);
    EXPECT_EQ(RunTool({"format", in, "/dev/null"}).exitCode, 0);
    ASSERT_EQ(stat("/dev/null", &null), 0);
    EXPECT_TRUE(S_ISCHR(null.st_mode));
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
