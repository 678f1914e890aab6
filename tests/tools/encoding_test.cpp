// The same document saved in different encodings reads the same; text in an
// encoding that cannot be read is refused with a reason.
#include <gtest/gtest.h>

#include "tool_runner.h"

namespace tooltest {
namespace {

std::string Declared(const char* encoding, const std::string& body) {
    return std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>\n" + body;
}

struct Saved {
    const char* name;
    std::string bytes;
    const char* readAs;  // what check reports
};

// Formats each saving into a file and expects the same bytes for all.
std::string SameOutput(const std::vector<Saved>& savings) {
    const TempDir dir;
    std::string first;
    for (const Saved& saved : savings) {
        SCOPED_TRACE(saved.name);
        const std::string in = dir.Write("in.xml", saved.bytes);
        const ToolRun check = RunTool({"check", in});
        EXPECT_EQ(check.exitCode, 0) << check.err;
        EXPECT_NE(check.out.find(std::string("read as ") + saved.readAs), std::string::npos)
            << check.out;
        EXPECT_EQ(RunTool({"format", in, dir.Path("out.xml")}).exitCode, 0);
        const std::string out = ReadBytes(dir.Path("out.xml"));
        if (first.empty()) first = out;
        EXPECT_EQ(out, first);
    }
    return first;
}

TEST(ToolEncoding, LatinTextReadsTheSameInEveryEncoding) {
    const std::string body = "<a t=\"caf\xC3\xA9\">na\xC3\xAFve</a>";
    const std::string mark8 = "\xEF\xBB\xBF";
    const std::string out = SameOutput({
        {"UTF-8 with mark", mark8 + Declared("UTF-8", body), "UTF-8 (byte-order mark)"},
        {"UTF-8 without mark", Declared("UTF-8", body), "UTF-8 (declaration)"},
        {"UTF-8 undeclared", body, "UTF-8 (valid UTF-8"},
        {"UTF-16LE", Encode(mark8 + Declared("UTF-16", body), "UTF-16LE"), "UTF-16LE"},
        {"UTF-16BE", Encode(mark8 + Declared("UTF-16", body), "UTF-16BE"), "UTF-16BE"},
        {"UTF-16LE without mark", Encode(Declared("UTF-16", body), "UTF-16LE"), "UTF-16LE"},
        {"UTF-32BE", Encode(mark8 + Declared("UTF-32", body), "UTF-32BE"), "UTF-32BE"},
        {"ISO-8859-1", Encode(Declared("ISO-8859-1", body), "ISO-8859-1"), "ISO-8859-1"},
        {"ANSI undeclared", Encode(body, "WINDOWS-1252"), "Windows-1252"},
    });
    // The shared output holds the accented letters, not a shared misreading.
    EXPECT_NE(out.find(std::string("c\0a\0f\0\xE9\0", 8)), std::string::npos);
}

TEST(ToolEncoding, ShiftJisReadsLikeUtf8) {
    // <文書 題="日本語">こんにちは、世界</文書>: non-ASCII names too, as XML allows.
    const std::string body =
        "<\xE6\x96\x87\xE6\x9B\xB8 \xE9\xA1\x8C=\"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\">"
        "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF\xE3\x80\x81"
        "\xE4\xB8\x96\xE7\x95\x8C</\xE6\x96\x87\xE6\x9B\xB8>";
    SameOutput({
        {"UTF-8", Declared("UTF-8", body), "UTF-8"},
        {"Shift_JIS", Encode(Declared("Shift_JIS", body), "SHIFT_JIS"), "Shift_JIS (declaration)"},
        {"EUC-JP", Encode(Declared("EUC-JP", body), "EUC-JP"), "EUC-JP"},
    });
}

TEST(ToolEncoding, UnreadableTextIsRefused) {
    const std::pair<std::string, const char*> cases[] = {
        {Declared("x-no-such-encoding", "<a/>"), "does not know"},
        {Declared("Shift_JIS", "<a>\x81</a>"), "Shift_JIS"},
        {Declared("UTF-8", "<a>caf\xE9</a>"), "not valid UTF-8"},
        {std::string("<a/>\0<b/>", 9), "NUL"},
        {std::string("\xFF\xFE<\0a\0/\0>\0!", 11), "UTF-16"},
    };
    for (const auto& [bytes, message] : cases) {
        const TempDir dir;
        const ToolRun run = RunTool({"format", dir.Write("in.xml", bytes), dir.Path("out.xml")});
        EXPECT_EQ(run.exitCode, 1) << run.err;  // not XML
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_FALSE(Exists(dir.Path("out.xml")));
    }
}

}  // namespace
}  // namespace tooltest
