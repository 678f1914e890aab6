// Loading: the entry points, width detection from byte-order marks, files
// and handles, the root and its first element, and the timing lines.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <regex>
#include <thread>

#include "parser_test_support.h"
#include "support/capture.h"
#include "support/temp_dir.h"
#include "tqcore/heap.h"
#include "tqplatform/files.h"

namespace tqcore {
namespace {

using parsertest::Tree;
using parsertest::U16;
using parsertest::Utf16Bytes;
using tqtest::Capture;
using tqtest::TempDir;

enum class Entry { Generic, Ansi, Utf8, Wide };

bool Open(CXMLDoc& doc, Entry entry, const std::string& bytes) {
    const std::string padded = bytes + std::string(2, '\0');
    std::u16string wide(bytes.size() / 2 + 1, u'\0');
    std::memcpy(wide.data(), bytes.data(), bytes.size() & ~std::size_t{1});
    switch (entry) {
        case Entry::Generic:
            return doc.OpenDocText(static_cast<const void*>(padded.data()), CXML_REPORT_SILENT);
        case Entry::Ansi:
            return doc.OpenDocText(bytes.c_str(), CXML_REPORT_SILENT);
        case Entry::Utf8:
            return doc.OpenDocText(reinterpret_cast<const unsigned char*>(bytes.c_str()),
                                   CXML_REPORT_SILENT);
        case Entry::Wide:
            return doc.OpenDocText(wide.c_str(), CXML_REPORT_SILENT);
    }
    return false;
}

TEST(Load, EntryPointsDetectTheWidth) {
    const std::string e_acute_utf8 = "\xC3\xA9";
    struct Case {
        Entry entry;
        std::string bytes;
        const char* tree;  // "-" when the open fails
    };
    const Case cases[] = {
        {Entry::Generic, "\xFF\xFE" + Utf16Bytes("<a>\xE9</a>"), "<Main>(a{\xC3\xA9})"},
        {Entry::Generic, "\xEF\xBB\xBF<a>" + e_acute_utf8 + "</a>", "<Main>(a{\xC3\xA9})"},
        {Entry::Generic, "<a>\xE9</a>", "<Main>(a{\xC3\xA9})"},
        // UTF-16 without a mark reads as ANSI: "<" and then a zero byte.
        {Entry::Generic, Utf16Bytes("<a/>"), "-"},
        {Entry::Ansi, "\xEF\xBB\xBF<a>" + e_acute_utf8 + "</a>", "<Main>(a{\xC3\xA9})"},
        {Entry::Ansi, "<a>" + e_acute_utf8 + "</a>", "<Main>(a{\xC3\x83\xC2\xA9})"},
        {Entry::Utf8, "<a>" + e_acute_utf8 + "</a>", "<Main>(a{\xC3\xA9})"},
        {Entry::Utf8, "\xEF\xBB\xBF<a/>", "<Main>(a)"},
        {Entry::Wide, "\xFF\xFE" + Utf16Bytes("<a/>"), "<Main>(a)"},
        {Entry::Wide, Utf16Bytes(" <a/>"), "<Main>(a)"},
        {Entry::Ansi, "", "-"},
        {Entry::Ansi, "text <a/>", "-"},
        {Entry::Wide, Utf16Bytes("   "), "-"},
    };
    for (const Case& c : cases) {
        CXMLDoc doc;
        const bool opened = Open(doc, c.entry, c.bytes);
        EXPECT_EQ(opened, std::string(c.tree) != "-")
            << static_cast<int>(c.entry) << ": " << c.bytes;
        EXPECT_EQ(Tree(doc.GetContent()), c.tree) << static_cast<int>(c.entry) << ": " << c.bytes;
    }
}

TEST(Load, NullTextFailsAndDropsThePreviousTree) {
    CXMLDoc doc;
    ASSERT_TRUE(doc.OpenDocText("<a/>", CXML_REPORT_SILENT));
    EXPECT_FALSE(doc.OpenDocText(static_cast<const char*>(nullptr), CXML_REPORT_SILENT));
    EXPECT_FALSE(doc.GetContent());
}

TEST(Load, RootAndFirstElement) {
    CXMLDoc doc;
    EXPECT_FALSE(doc.GetContentElement());
    ASSERT_TRUE(
        doc.OpenDocText("<?xml version='1.0'?><!--c--><r><c/></r><s/>", CXML_REPORT_SILENT));
    EXPECT_EQ(doc.GetContent().GetType(), CXML_TYPE_ELEMENT);
    EXPECT_EQ(Tree(doc.GetContentElement()), "r(c)");

    // Copies share the root; closing one leaves the other's tree alone.
    CXMLDoc copy;
    copy = doc;
    doc.Close();
    EXPECT_FALSE(doc.GetContentElement());
    EXPECT_EQ(Tree(copy.GetContent()), "<Main>(r(c) s)");
}

unsigned int OpenFile(CXMLDoc& doc, const std::string& path, std::uint32_t timeout = 0) {
    return doc.OpenDocFile(U16(path).c_str(), timeout, CXML_REPORT_SILENT);
}

TEST(Load, FilesByPath) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string bytes;
        unsigned int result;
        const char* tree;
    };
    const Case cases[] = {
        {"three.xml", "<a>", 13, "-"},
        {"utf8.xml", "\xEF\xBB\xBF<a>\xC3\xA9</a>", 0, "<Main>(a{\xC3\xA9})"},
        {"badmark.xml", "\xEF\xBB\x00<a/>", 13, "-"},
        {"shortutf8.xml", "\xEF\xBB\xBF<a/", 13, "-"},
        {"shortutf16.xml", "\xFF\xFE<\0", 13, "-"},
        {"utf16.xml", "\xFF\xFE" + Utf16Bytes("<?xml version='1.0' encoding='UTF-8'?><a>\xE9</a>"),
         0, "<Main>(a{\xC3\xA9})"},
        {"odd.xml", "\xFF\xFE" + Utf16Bytes("<a/>") + "x", 0, "<Main>(a)"},
        {"ansi.xml", "<a>\xE9</a>", 0, "<Main>(a{\xC3\xA9})"},
        {"mixed.xml", "<a>x<b/>y</a>", 13, "-"},
        {"nomarkup.xml", "text", 13, "-"},
        {"nul.xml", std::string("<a/>\0<b/>", 9), 0, "<Main>(a)"},
    };
    for (const Case& c : cases) {
        CXMLDoc doc;
        EXPECT_EQ(OpenFile(doc, dir.Write(c.name, c.bytes)), c.result) << c.name;
        EXPECT_EQ(Tree(doc.GetContent()), c.tree) << c.name;
    }
}

TEST(Load, MissingFileFailsAtOnce) {
    TempDir dir;
    CXMLDoc doc;
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(OpenFile(doc, dir.Path("missing.xml"), 5000), tqplat::ERROR_FILE_NOT_FOUND);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(1000));
    EXPECT_NE(doc.OpenDocFile(static_cast<const unsigned short*>(nullptr), 0, CXML_REPORT_SILENT),
              0u);
}

TEST(Load, LockedFileIsRetriedUntilTheTimeout) {
    TempDir dir;
    const std::string path = dir.Write("locked.xml", "<a/>");
    void* holder =
        tqplat::CreateFileW(reinterpret_cast<const unsigned short*>(U16(path).c_str()),
                            tqplat::GENERIC_READ, 0, nullptr, tqplat::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, tqplat::INVALID_HANDLE_VALUE);
    CXMLDoc doc;
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(OpenFile(doc, path, 60), tqplat::ERROR_SHARING_VIOLATION);
    EXPECT_GE(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(55));
    tqplat::CloseHandle(holder);
    EXPECT_EQ(OpenFile(doc, path, 60), 0u);
}

TEST(Load, HandlesAreReadFromTheStartAndStayOpen) {
    TempDir dir;
    const std::string path = dir.Write("handle.xml", "<a><b/></a>");
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::lseek(fd, 5, SEEK_SET), 5);
    CXMLDoc doc;
    EXPECT_EQ(doc.OpenDocHandle(tqplat::HandleFromFd(fd), CXML_REPORT_SILENT), 0u);
    EXPECT_EQ(Tree(doc.GetContent()), "<Main>(a(b))");
    EXPECT_EQ(::lseek(fd, 0, SEEK_SET), 0);  // still open
    EXPECT_EQ(::close(fd), 0);
    EXPECT_EQ(doc.OpenDocHandle(tqplat::INVALID_HANDLE_VALUE, CXML_REPORT_SILENT),
              tqplat::ERROR_INVALID_DATA);
}

// Each allocation of a parse fails in turn, until the parse gets all it
// needs: every failure is a clean result with no node left behind. The
// nesting is deep enough for the open-element stack to grow.
TEST(Load, EachAllocationOfAParseCanFail) {
    std::string text = "<r a='1' b=' x  y '>t&amp;u<!--c--><e/>";
    for (int i = 0; i < 70; ++i) text += "<n" + std::to_string(i % 3) + " k='\xC3\xA9'>";
    for (int i = 70; i-- > 0;) text += "</n" + std::to_string(i % 3) + ">";
    text += "</r>";
    TempDir dir;
    const std::string path = dir.Write("alloc.xml", text);
    for (Entry entry : {Entry::Ansi, Entry::Utf8, Entry::Wide, Entry::Generic}) {
        const bool fromFile = entry == Entry::Generic;  // stands for the file entry here
        const std::string bytes = entry == Entry::Wide ? Utf16Bytes(text) : text;
        unsigned int code = 0;
        auto open = [&](CXMLDoc& doc) {
            return fromFile ? (code = OpenFile(doc, path)) == 0 : Open(doc, entry, bytes);
        };
        CXMLDoc whole;
        ASSERT_TRUE(open(whole));
        const std::string expected = Tree(whole.GetContent());
        whole.Close();
        const std::int64_t bodies = GetXMLObjectBodyCount();
        for (std::int64_t allowed = 0;; ++allowed) {
            ASSERT_LT(allowed, 10000) << static_cast<int>(entry);
            CXMLDoc doc;
            bool opened = false;
            SetAllocationFailureCountdown(allowed);
            EXPECT_NO_THROW(opened = open(doc));
            SetAllocationFailureCountdown(-1);
            if (opened) {
                EXPECT_EQ(Tree(doc.GetContent()), expected);
                break;
            }
            if (fromFile) {
                EXPECT_TRUE(code == tqplat::ERROR_INVALID_DATA ||
                            code == tqplat::ERROR_NOT_ENOUGH_MEMORY)
                    << code;
            }
            EXPECT_FALSE(doc.GetContent()) << allowed;
            EXPECT_EQ(GetXMLObjectBodyCount(), bodies) << allowed;
        }
    }
}

// A thread keeps one buffer after its opens: a large one only until a small
// open, and none after it ends.
TEST(Load, KeptBuffersAreBoundedAndGoAtThreadExit) {
    const std::uint64_t before = CXMLDocTestAccess::KeptBufferBytes();
    std::uint64_t afterSmall = 0, afterHuge = 0, afterHugeAgain = 0, afterLarge = 0, afterHuger = 0;
    std::thread([&] {
        auto open = [](std::size_t bytes) {
            CXMLDoc doc;
            return doc.OpenDocText(("<a>" + std::string(bytes, 'x') + "</a>").c_str(),
                                   CXML_REPORT_SILENT);
        };
        if (open(10)) afterSmall = CXMLDocTestAccess::KeptBufferBytes();
        if (open(5u << 20)) afterHuge = CXMLDocTestAccess::KeptBufferBytes();
        if (open(4u << 20)) afterHugeAgain = CXMLDocTestAccess::KeptBufferBytes();
        if (open(3u << 20)) afterLarge = CXMLDocTestAccess::KeptBufferBytes();
        if (open(65u << 20)) afterHuger = CXMLDocTestAccess::KeptBufferBytes();
    }).join();
    EXPECT_EQ(afterSmall, before + 4096);
    EXPECT_GT(afterHuge, before + (5u << 20));
    EXPECT_LE(afterHuge, before + (5u << 20) + 8192);
    EXPECT_EQ(afterHugeAgain, afterHuge);  // a large open reuses it
    EXPECT_GT(afterLarge, before + (3u << 20));
    EXPECT_LE(afterLarge, before + (4u << 20));
    EXPECT_EQ(afterHuger, afterLarge);  // above the limit: never kept
    EXPECT_EQ(CXMLDocTestAccess::KeptBufferBytes(), before);
}

TEST(Load, TimingLinesWhenDebugIsOn) {
    TempDir dir;
    const std::string path = dir.Write("big.xml", "<a>" + std::string(10000 - 7, 'x') + "</a>");
    auto& log = Capture::Log();
    {
        Capture capture(true);
        CXMLDoc doc;
        ASSERT_EQ(OpenFile(doc, path), 0u);
        ASSERT_EQ(log.size(), 2u);
        EXPECT_EQ(log[0].selector1 * 100 + log[0].selector2, 316u);
        EXPECT_TRUE(std::regex_match(parsertest::Utf8(log[0].text),
                                     std::regex("\rXMLDoc: Parsing time=[0-9]+\\.[0-9]+ms, 9kB")));
        EXPECT_EQ(log[1].selector1 * 100 + log[1].selector2, 315u);
        EXPECT_EQ(parsertest::Utf8(log[1].text), " " + path + "\r\n");
    }
    Capture quiet(false);
    CXMLDoc doc;
    ASSERT_EQ(OpenFile(doc, path), 0u);
    EXPECT_TRUE(log.empty());
}

}  // namespace
}  // namespace tqcore
