// Page checks through process_vm_readv on the own process: the kernel reports
// an unreadable page as an error instead of raising a fault.
#include "parser/readable_pages.h"

#include <sys/uio.h>
#include <unistd.h>

namespace tqcore::parser {

std::size_t ReadablePages(std::uintptr_t first) {
    iovec remote[kPagesPerCheck];
    unsigned char sink[kPagesPerCheck];
    iovec local{sink, sizeof sink};
    std::size_t count = 0;
    for (; count < kPagesPerCheck; ++count) {
        const std::uintptr_t page = first + count * kPage;  // wraps, as an integer
        if (count && page < first) break;                   // past the top of the address space
        remote[count] = iovec{reinterpret_cast<void*>(page), 1};
    }
    const ssize_t read = process_vm_readv(getpid(), &local, 1, remote, count, 0);
    return read > 0 ? static_cast<std::size_t>(read) : 0;
}

}  // namespace tqcore::parser
