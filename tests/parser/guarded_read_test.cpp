// Text given as an untyped pointer is measured through page checks: memory
// that cannot be read gives false instead of a crash.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "parser_test_support.h"

namespace tqcore {
namespace {

// Two pages, the second unreadable.
class GuardPage {
public:
    GuardPage() {
        m_page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        void* p = mmap(nullptr, 2 * m_page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        m_base = p == MAP_FAILED ? nullptr : static_cast<char*>(p);
        if (m_base) mprotect(m_base + m_page, m_page, PROT_NONE);
    }
    ~GuardPage() {
        if (m_base) munmap(m_base, 2 * m_page);
    }
    GuardPage(const GuardPage&) = delete;
    GuardPage& operator=(const GuardPage&) = delete;

    // Places `bytes` so that they end right at the unreadable page.
    const void* AtEnd(const std::string& bytes) {
        char* at = m_base + m_page - bytes.size();
        std::memcpy(at, bytes.data(), bytes.size());
        return at;
    }
    const void* Unreadable() const { return m_base + m_page; }
    explicit operator bool() const { return m_base != nullptr; }

private:
    std::size_t m_page = 0;
    char* m_base = nullptr;
};

TEST(GuardedRead, TextEndingAtAnUnreadablePageParses) {
    GuardPage guard;
    ASSERT_TRUE(guard);
    CXMLDoc doc;
    EXPECT_TRUE(doc.OpenDocText(guard.AtEnd(std::string("<a/>", 5)), CXML_REPORT_SILENT));
    EXPECT_EQ(parsertest::Tree(doc.GetContent()), "<Main>(a)");
    EXPECT_TRUE(doc.OpenDocText(guard.AtEnd(std::string("\xFF\xFE<\0a\0/\0>\0\0\0", 12)), CXML_REPORT_SILENT));
    EXPECT_EQ(parsertest::Tree(doc.GetContent()), "<Main>(a)");
}

TEST(GuardedRead, UnreadableMemoryGivesFalse) {
    GuardPage guard;
    ASSERT_TRUE(guard);
    const std::string cases[] = {
        "<a/>",                               // no terminator before the bad page
        "\xFF",                               // a mark cut by the bad page
        "\xEF\xBB",                           //
        std::string("\xFF\xFE<\0a\0/\0>", 9),  // a UTF-16 unit cut in half
        std::string(5000 % 4096, 'x'),        // a run of text
    };
    for (const std::string& bytes : cases) {
        CXMLDoc doc;
        ASSERT_TRUE(doc.OpenDocText("<old/>", CXML_REPORT_SILENT));
        EXPECT_FALSE(doc.OpenDocText(guard.AtEnd(bytes), CXML_REPORT_SILENT)) << bytes.size();
        EXPECT_FALSE(doc.GetContent());
    }
    CXMLDoc doc;
    EXPECT_FALSE(doc.OpenDocText(guard.Unreadable(), CXML_REPORT_SILENT));
    EXPECT_FALSE(doc.OpenDocText(reinterpret_cast<const void*>(std::uintptr_t{16}), CXML_REPORT_SILENT));
}

}  // namespace
}  // namespace tqcore
