// Page checks through VirtualQuery: committed pages whose protection allows
// reading, without touching them.
#include "parser/readable_pages.h"

#include <windows.h>

namespace tqcore::parser {
namespace {

constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

}  // namespace

std::size_t ReadablePages(std::uintptr_t first) {
    std::size_t count = 0;
    std::uintptr_t page = first;
    while (count < kPagesPerCheck) {
        MEMORY_BASIC_INFORMATION info;
        if (VirtualQuery(reinterpret_cast<const void*>(page), &info, sizeof info) == 0) break;
        if (info.State != MEM_COMMIT || (info.Protect & kReadable) == 0 ||
            (info.Protect & PAGE_GUARD) != 0)
            break;
        const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(info.BaseAddress) +
                                   static_cast<std::uintptr_t>(info.RegionSize);
        const std::size_t inRegion = static_cast<std::size_t>((end - page) / kPage);
        const std::size_t take =
            inRegion < kPagesPerCheck - count ? inRegion : kPagesPerCheck - count;
        if (take == 0) break;
        count += take;
        page += take * kPage;
        if (page < first) break;  // past the top of the address space
    }
    return count;
}

}  // namespace tqcore::parser
