// The same document saved in different encodings reads the same; text in an
// encoding that cannot be read is refused with a reason.
#include <gtest/gtest.h>

#include "tool_runner.h"

namespace tooltest {
namespace {

constexpr int kNotXml = 1;

std::string Declared(const char* encoding, const std::string& body) {
    return std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>\n" + body;
}

struct Saved {
    const char* name;
    std::string bytes;
    const char* readAs;  // what check reports
};

// Formats each saving into a file and expects the same bytes for all.
void ExpectSameOutput(const std::vector<Saved>& savings) {
    ScratchDir dir;
    std::string first;
    for (const Saved& saved : savings) {
        SCOPED_TRACE(saved.name);
        WriteFile(dir / "in.xml", saved.bytes);
        const ToolRun check = RunTool({"check", dir / "in.xml"});
        EXPECT_EQ(check.exitCode, 0) << check.err;
        EXPECT_NE(check.out.find(std::string("read as ") + saved.readAs), std::string::npos)
            << check.out;
        const ToolRun run = RunTool({"format", dir / "in.xml", dir / "out.xml"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string out = ReadFile(dir / "out.xml");
        if (first.empty())
            first = out;
        else
            EXPECT_EQ(out, first);
    }
}

TEST(ToolEncoding, LatinTextReadsTheSameInEveryEncoding) {
    const std::string body = "<a t=\"caf\xC3\xA9\">na\xC3\xAFve</a>";
    const std::string mark8 = "\xEF\xBB\xBF";
    ExpectSameOutput({
        {"UTF-8 with mark", mark8 + Declared("UTF-8", body), "UTF-8 (byte-order mark)"},
        {"UTF-8 without mark", Declared("UTF-8", body), "UTF-8 (declaration)"},
        {"UTF-8 undeclared", body, "UTF-8 (valid UTF-8"},
        {"UTF-16LE", Encode("\xEF\xBB\xBF" + Declared("UTF-16", body), "UTF-16LE"), "UTF-16LE"},
        {"UTF-16BE", Encode("\xEF\xBB\xBF" + Declared("UTF-16", body), "UTF-16BE"), "UTF-16BE"},
        {"UTF-16LE without mark", Encode(Declared("UTF-16", body), "UTF-16LE"), "UTF-16LE"},
        {"UTF-32BE", Encode("\xEF\xBB\xBF" + Declared("UTF-32", body), "UTF-32BE"), "UTF-32BE"},
        {"ISO-8859-1", Encode(Declared("ISO-8859-1", body), "ISO-8859-1"), "ISO-8859-1"},
        {"ANSI undeclared", Encode(body, "WINDOWS-1252"), "Windows-1252"},
    });
    // The shared output holds the accented letters, not a shared misreading.
    ScratchDir dir;
    WriteFile(dir / "in.xml", body);
    ASSERT_EQ(RunTool({"format", dir / "in.xml", dir / "out.xml"}).exitCode, 0);
    EXPECT_NE(ReadFile(dir / "out.xml").find(std::string("c\0a\0f\0\xE9\0", 8)), std::string::npos);
}

TEST(ToolEncoding, ShiftJisReadsLikeUtf8) {
    // <文書 題="日本語">こんにちは、世界</文書>: non-ASCII names too, as XML allows.
    const std::string body =
        "<\xE6\x96\x87\xE6\x9B\xB8 \xE9\xA1\x8C=\"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\">"
        "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF\xE3\x80\x81"
        "\xE4\xB8\x96\xE7\x95\x8C</\xE6\x96\x87\xE6\x9B\xB8>";
    ExpectSameOutput({
        {"UTF-8", Declared("UTF-8", body), "UTF-8"},
        {"Shift_JIS", Encode(Declared("Shift_JIS", body), "SHIFT_JIS"), "Shift_JIS (declaration)"},
        {"EUC-JP", Encode(Declared("EUC-JP", body), "EUC-JP"), "EUC-JP"},
    });
}

struct Refused {
    const char* name;
    std::string bytes;
    const char* message;
};

TEST(ToolEncoding, UnreadableTextIsRefused) {
    const Refused cases[] = {
        {"unknown encoding", Declared("x-no-such-encoding", "<a/>"), "does not know"},
        {"broken Shift_JIS", Declared("Shift_JIS", "<a>\x81</a>"), "Shift_JIS"},
        {"Latin-1 declared UTF-8", Declared("UTF-8", "<a>caf\xE9</a>"), "not valid UTF-8"},
        {"NUL inside", std::string("<a/>\0<b/>", 9), "NUL"},
        {"odd UTF-16", std::string("\xFF\xFE<\0a\0/\0>\0!", 11), "UTF-16"},
    };
    for (const Refused& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        WriteFile(dir / "in.xml", c.bytes);
        const ToolRun run = RunTool({"format", dir / "in.xml", dir / "out.xml"});
        EXPECT_EQ(run.exitCode, kNotXml) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(Exists(dir / "out.xml"));
    }
}

}  // namespace
}  // namespace tooltest
