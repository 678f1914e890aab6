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
        void* p =
            mmap(nullptr, 2 * m_page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        m_base = p == MAP_FAILED ? nullptr : static_cast<char*>(p);
        if (m_base) mprotect(m_base + m_page, m_page, PROT_NONE);
    }
    ~GuardPage() {
        if (m_base) munmap(m_base, 2 * m_page);
    }

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

TEST(GuardedRead, TextEndingAtAnUnreadablePage) {
    GuardPage guard;
    ASSERT_TRUE(guard);
    const struct {
        std::string bytes;
        const char* tree;  // "-" when the open fails
    } cases[] = {
        {std::string("<a/>", 5), "<Main>(a)"},
        {std::string("\xFF\xFE<\0a\0/\0>\0\0\0", 12), "<Main>(a)"},
        {"<a/>", "-"},                                // no terminator before the bad page
        {"\xFF", "-"},                                // a mark cut by the bad page
        {"\xEF\xBB", "-"},                            //
        {std::string("\xFF\xFE<\0a\0/\0>", 9), "-"},  // a UTF-16 unit cut in half
        {std::string(5000 % 4096, 'x'), "-"},         // a run of text
    };
    for (const auto& c : cases) {
        CXMLDoc doc;
        ASSERT_TRUE(doc.OpenDocText("<old/>", CXML_REPORT_SILENT));
        EXPECT_EQ(doc.OpenDocText(guard.AtEnd(c.bytes), CXML_REPORT_SILENT),
                  std::string(c.tree) != "-")
            << c.bytes.size();
        EXPECT_EQ(parsertest::Tree(doc.GetContent()), c.tree) << c.bytes.size();
    }
    // Addresses near either end of the address space must not overflow.
    for (const void* bad : {guard.Unreadable(), reinterpret_cast<const void*>(std::uintptr_t{16}),
                            reinterpret_cast<const void*>(UINTPTR_MAX),
                            reinterpret_cast<const void*>(UINTPTR_MAX - 4096)}) {
        CXMLDoc doc;
        EXPECT_FALSE(doc.OpenDocText(bad, CXML_REPORT_SILENT)) << bad;
    }
}

}  // namespace
}  // namespace tqcore
