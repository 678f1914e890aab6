// Loading: entry points and byte-order marks, guarded reads, files and
// handles, the root, the debug output, and documents on several threads.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <regex>
#include <thread>
#include <vector>

#include "parser_test_support.h"
#include "support/capture.h"
#include "support/temp_dir.h"
#include "tqcore/heap.h"
#include "tqcore/wtext.h"
#include "tqplatform/files.h"

namespace tqcore::parsertest {
namespace {

using tqtest::Capture;
using tqtest::TempDir;

TEST(Load, EntryPointsDetectTheWidth) {
    const struct {
        Entry entry;
        std::string bytes;
        const char* opened;  // the tree, or why there is none
    } cases[] = {
        {Entry::Generic, "\xFF\xFE" + Utf16Bytes("<a>\xE9</a>"), "<Main>(a{\xC3\xA9})"},
        {Entry::Generic, "\xEF\xBB\xBF<a>\xC3\xA9</a>", "<Main>(a{\xC3\xA9})"},
        {Entry::Generic, "<a>\xE9</a>", "<Main>(a{\xC3\xA9})"},
        // UTF-16 without a mark reads as ANSI: "<" and then a zero byte.
        {Entry::Generic, Utf16Bytes("<a/>"), "failed"},
        {Entry::Ansi, "\xEF\xBB\xBF<a>\xC3\xA9</a>", "<Main>(a{\xC3\xA9})"},
        {Entry::Utf8, "\xEF\xBB\xBF<a/>", "<Main>(a)"},
        {Entry::Wide, "\xFF\xFE" + Utf16Bytes("<a/>"), "<Main>(a)"},
        {Entry::Ansi, "", "failed"},
        {Entry::Wide, Utf16Bytes("   "), "failed"},
        // Files: a failed parse, a short file or a broken mark are invalid data.
        {Entry::File, "<a>", "error 13"},
        {Entry::File, "\xEF\xBB\xBF<a>\xC3\xA9</a>", "<Main>(a{\xC3\xA9})"},
        {Entry::File, std::string("\xEF\xBB\x00<a/>", 7), "error 13"},
        {Entry::File, "\xFF\xFE<\0", "error 13"},
        {Entry::File, "\xFF\xFE" + Utf16Bytes("<?xml version='1.0' encoding='UTF-8'?><a>\xE9</a>"),
         "<Main>(a{\xC3\xA9})"},
        {Entry::File, "\xFF\xFE" + Utf16Bytes("<a/>") + "x", "<Main>(a)"},
        {Entry::File, "<a>\xE9</a>", "<Main>(a{\xC3\xA9})"},
        {Entry::File, std::string("<a/>\0<b/>", 9), "<Main>(a)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Opened(c.entry, c.bytes), c.opened)
            << static_cast<int>(c.entry) << ": " << c.bytes;
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
    // A failed open drops the previous tree.
    EXPECT_FALSE(copy.OpenDocText(static_cast<const char*>(nullptr), CXML_REPORT_SILENT));
    EXPECT_FALSE(copy.GetContent());
}

// Text given as an untyped pointer is measured through page checks: memory
// that cannot be read gives false instead of a crash. UTF-16 text is measured
// a block at a time: its zero must be found wherever it lies in its block,
// and units whose bytes meet as zeros across two units must not end it.
TEST(GuardedRead, TextEndingAtAnUnreadablePage) {
    // Two pages, the second unreadable.
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* pages =
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(pages, MAP_FAILED);
    char* const unreadable = static_cast<char*>(pages) + page;
    ASSERT_EQ(mprotect(unreadable, page, PROT_NONE), 0);
    const struct {
        std::string bytes;  // placed to end right at the unreadable page
        const char* tree;   // "-" when the open fails
    } cases[] = {
        {std::string("<a/>", 5), "<Main>(a)"},
        {std::string("\xFF\xFE<\0a\0/\0>\0\0\0", 12), "<Main>(a)"},
        {"<a/>", "-"},                                // no terminator before the bad page
        {"\xFF", "-"},                                // a mark cut by the bad page
        {std::string("\xFF\xFE<\0a\0/\0>", 9), "-"},  // a UTF-16 unit cut in half
        {"", "-"},                                    // the bad page itself
    };
    for (const auto& c : cases) {
        CXMLDoc doc;
        ASSERT_TRUE(doc.OpenDocText("<old/>", CXML_REPORT_SILENT));
        char* at = unreadable - c.bytes.size();
        std::memcpy(at, c.bytes.data(), c.bytes.size());
        EXPECT_EQ(doc.OpenDocText(static_cast<const void*>(at), CXML_REPORT_SILENT),
                  std::string(c.tree) != "-")
            << c.bytes.size();
        EXPECT_EQ(Tree(doc.GetContent()), c.tree) << c.bytes.size();
    }
    for (std::size_t n = 0; n < 20; ++n) {
        std::u16string data;
        for (std::size_t i = 0; i < n; ++i) data += i % 2 ? u'\u0100' : u'x';
        const std::u16string text = u"<a>" + data + u"</a>";
        for (std::size_t gap = 0; gap < 9; ++gap) {  // units between the zero and the bad page
            auto* at = reinterpret_cast<unsigned short*>(unreadable) - gap - text.size() - 1;
            std::memcpy(at, text.c_str(), (text.size() + 1) * sizeof(char16_t));
            CXMLDoc doc;
            ASSERT_TRUE(doc.OpenDocText(at, CXML_REPORT_SILENT)) << n << " " << gap;
            const std::string tree = n ? "<Main>(a{" + Utf8(data) + "})" : "<Main>(a)";
            EXPECT_EQ(Tree(doc.GetContent()), tree) << n << " " << gap;
        }
    }
    // Addresses near either end of the address space must not overflow.
    for (std::uintptr_t bad : {std::uintptr_t{16}, UINTPTR_MAX, UINTPTR_MAX - 4096}) {
        CXMLDoc doc;
        EXPECT_FALSE(doc.OpenDocText(reinterpret_cast<const void*>(bad), CXML_REPORT_SILENT));
    }
    munmap(pages, 2 * page);
}

unsigned int OpenFile(CXMLDoc& doc, const std::string& path, std::uint32_t timeout) {
    return doc.OpenDocFile(U16(path).c_str(), timeout, CXML_REPORT_SILENT);
}

TEST(Load, MissingFileFailsAtOnceALockedOneAfterTheTimeout) {
    TempDir dir;
    CXMLDoc doc;
    auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(OpenFile(doc, dir.Path("missing.xml"), 5000), tqplat::ERROR_FILE_NOT_FOUND);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(1000));
    EXPECT_NE(doc.OpenDocFile(static_cast<const unsigned short*>(nullptr), 0, CXML_REPORT_SILENT),
              0u);
    const std::string path = dir.Write("locked.xml", "<a/>");
    void* holder = tqplat::CreateFileW(W(U16(path).c_str()), tqplat::GENERIC_READ, 0, nullptr,
                                       tqplat::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, tqplat::INVALID_HANDLE_VALUE);
    began = std::chrono::steady_clock::now();
    EXPECT_EQ(OpenFile(doc, path, 60), tqplat::ERROR_SHARING_VIOLATION);
    EXPECT_GE(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(55));
    tqplat::CloseHandle(holder);
    EXPECT_EQ(OpenFile(doc, path, 60), 0u);
}

TEST(Load, HandlesAreReadFromTheStartAndStayOpen) {
    TempDir dir;
    const int fd = ::open(dir.Write("handle.xml", "<a><b/></a>").c_str(), O_RDONLY);
    ASSERT_EQ(::lseek(fd, 5, SEEK_SET), 5);
    CXMLDoc doc;
    EXPECT_EQ(doc.OpenDocHandle(tqplat::HandleFromFd(fd), CXML_REPORT_SILENT), 0u);
    EXPECT_EQ(Tree(doc.GetContent()), "<Main>(a(b))");
    EXPECT_EQ(::close(fd), 0);  // still open
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
    const std::string outOfMemory = "error " + std::to_string(tqplat::ERROR_NOT_ENOUGH_MEMORY);
    for (Entry entry : {Entry::Ansi, Entry::Utf8, Entry::Wide, Entry::Generic, Entry::File}) {
        const std::string bytes = entry == Entry::Wide ? Utf16Bytes(text) : text;
        const std::string expected = Opened(entry, bytes);
        const std::int64_t bodies = GetXMLObjectBodyCount();
        for (std::int64_t allowed = 0;; ++allowed) {
            ASSERT_LT(allowed, 10000) << static_cast<int>(entry);
            CXMLDoc doc;
            std::string failure;
            SetAllocationFailureCountdown(allowed);
            EXPECT_NO_THROW(failure = Open(doc, entry, bytes));
            SetAllocationFailureCountdown(-1);
            if (failure.empty()) {
                EXPECT_EQ(Tree(doc.GetContent()), expected);
                break;
            }
            EXPECT_TRUE(failure == "failed" || failure == "error 13" || failure == outOfMemory)
                << failure;
            EXPECT_FALSE(doc.GetContent()) << allowed;
            EXPECT_EQ(GetXMLObjectBodyCount(), bodies) << allowed;
        }
    }
}

// A text is copied into the thread's kept buffer as it is measured: texts
// that fill its one page to the last unit, and one unit more, open whole.
TEST(Load, TextsThatFillTheKeptBufferOpenWhole) {
    constexpr std::size_t kRoomBytes = 4096 - 16 - 2;  // a page less its head and the zero
    for (Entry entry : {Entry::Ansi, Entry::Utf8, Entry::Wide}) {
        const std::size_t unit = entry == Entry::Wide ? 2 : 1;
        std::vector<std::string> trees;
        std::thread([&] {
            Opened(entry, entry == Entry::Wide ? Utf16Bytes("<a/>") : "<a/>");  // keeps a page
            for (std::size_t units = kRoomBytes / unit - 1; units <= kRoomBytes / unit + 1;
                 ++units) {
                const std::string text = "<a>" + std::string(units - 7, 'x') + "</a>";
                trees.push_back(Opened(entry, entry == Entry::Wide ? Utf16Bytes(text) : text));
            }
        }).join();
        ASSERT_EQ(trees.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_EQ(trees[i], "<Main>(a{" + std::string(kRoomBytes / unit - 8 + i, 'x') + "})")
                << static_cast<int>(entry) << " " << i;
    }
}

// A thread keeps one buffer after its opens: a large one only until a small
// open, and none after it ends.
TEST(Load, KeptBuffersAreBoundedAndGoAtThreadExit) {
    const std::uint64_t before = CXMLDocTestAccess::KeptBufferBytes();
    std::uint64_t kept[5] = {};  // after each open of the thread
    std::thread([&kept] {
        const std::size_t sizes[] = {10, 5u << 20, 4u << 20, 3u << 20, 65u << 20};
        for (int i = 0; i < 5; ++i)
            if (Opened(Entry::Ansi, "<a>" + std::string(sizes[i], 'x') + "</a>") != "failed")
                kept[i] = CXMLDocTestAccess::KeptBufferBytes();
    }).join();
    EXPECT_EQ(kept[0], before + 4096);
    EXPECT_GT(kept[1], before + (5u << 20));
    EXPECT_LE(kept[1], before + (5u << 20) + 8192);
    EXPECT_EQ(kept[2], kept[1]);  // a large open reuses it
    EXPECT_GT(kept[3], before + (3u << 20));
    EXPECT_LE(kept[3], before + (4u << 20));
    EXPECT_EQ(kept[4], kept[3]);  // above the limit: never kept
    EXPECT_EQ(CXMLDocTestAccess::KeptBufferBytes(), before);
}

// Timing lines of an open and the dump of a document (an indented tree after
// a heading), on the log only when debug output is on.
TEST(Load, TimingLinesAndDumpWhenDebugIsOn) {
    const std::string text = "<a x=\"1\"><b>" + std::string(10000 - 24, 'x') + "</b><c/></a>";
    auto& log = Capture::Log();
    {
        Capture capture(true);
        CXMLDoc doc;
        ASSERT_EQ(Open(doc, Entry::File, text), "");
        ASSERT_EQ(log.size(), 2u);
        EXPECT_EQ(log[0].selector1 * 100 + log[0].selector2, 316u);
        EXPECT_TRUE(std::regex_match(Utf8(log[0].text),
                                     std::regex("\rXMLDoc: Parsing time=[0-9]+\\.[0-9]+ms, 9kB")));
        EXPECT_EQ(log[1].selector1 * 100 + log[1].selector2, 315u);
        EXPECT_EQ(Utf8(log[1].text), " " + EntryDir().Path("entry.xml") + "\r\n");
        log.clear();
        doc.Dump();
        std::string dump;
        for (const Capture::Shown& line : log)
            if (line.selector1 == 3 && line.selector2 == 4) dump += Utf8(line.text);
        EXPECT_EQ(dump,
                  "\r\n\n---XML Dump---\r\n\xEF\xBB\xBF<?xml version=\"1.0\" "
                  "encoding=\"UTF-16\"?>\r\n<a x=\"1\">\r\n <b>" +
                      std::string(10000 - 24, 'x') + "</b>\r\n <c/>\r\n</a>\r\n");
    }
    Capture quiet(false);
    CXMLDoc doc;
    ASSERT_EQ(Open(doc, Entry::File, text), "");
    doc.Dump();
    EXPECT_TRUE(log.empty());
}

// Each thread keeps its own released buffer; documents on separate threads
// share nothing else of the loader.
TEST(LoadThreads, SeparateDocumentsOnSeparateThreads) {
    std::vector<std::thread> threads;
    std::atomic<int> parsed{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &parsed] {
            for (int i = 0; i < 50; ++i) {
                const std::string x(100 * (i % 7), 'x'), n = std::to_string(t);
                if (Opened(Entry::Ansi, "<r t='" + n + "'>" + x + "</r>") ==
                    "<Main>(r[t='" + n + "']" + (x.empty() ? "" : "{" + x + "}") + ")")
                    ++parsed;
                Opened(Entry::Ansi, "<r>broken</q>");
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(parsed.load(), 200);
}

}  // namespace
}  // namespace tqcore::parsertest
