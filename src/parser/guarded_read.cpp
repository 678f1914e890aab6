// Page checks through process_vm_readv on the own process: the kernel reports
// an unreadable page as an error instead of raising a fault.
#include "parser/guarded_read.h"

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace tqcore::parser {
namespace {

constexpr std::uintptr_t kPage = 4096;
constexpr std::size_t kPagesPerCheck = 64;

// Number of readable pages from the page at `first`, in order, at most
// kPagesPerCheck: one byte of each page is read through the kernel.
std::size_t ReadablePages(std::uintptr_t first) {
    iovec remote[kPagesPerCheck];
    unsigned char sink[kPagesPerCheck];
    iovec local{sink, sizeof sink};
    std::size_t count = 0;
    for (; count < kPagesPerCheck; ++count) {
        const std::uintptr_t page = first + count * kPage;
        if (page < first) break;  // the top of the address space
        remote[count] = iovec{reinterpret_cast<void*>(page), 1};
    }
    const ssize_t read = process_vm_readv(getpid(), &local, 1, remote, count, 0);
    return read > 0 ? static_cast<std::size_t>(read) : 0;
}

}  // namespace

bool GuardedReader::ensure(const unsigned char* address, std::size_t bytes) noexcept {
    for (const unsigned char* at = address; at < address + bytes;) {
        if (m_pReadableEnd && at >= m_pStart && at < m_pReadableEnd) {
            at = m_pReadableEnd;
            continue;
        }
        const std::uintptr_t page = reinterpret_cast<std::uintptr_t>(at) & ~(kPage - 1);
        const std::size_t pages = ReadablePages(page);
        if (pages == 0) {
            m_pFault = at;
            return false;
        }
        m_pReadableEnd = reinterpret_cast<const unsigned char*>(page + pages * kPage);
    }
    return true;
}

bool GuardedReader::Byte(std::size_t offset, unsigned char& value) noexcept {
    const unsigned char* at = m_pStart + offset;
    if (!ensure(at, 1)) return false;
    value = *at;
    return true;
}

bool GuardedReader::Measure(std::size_t offset, unsigned int unitBytes, std::size_t limit,
                            std::size_t& units) noexcept {
    const unsigned char* at = m_pStart + offset;
    for (std::size_t n = 0; n <= limit;) {
        if (!ensure(at, unitBytes)) return false;
        // Scan what is known readable without further checks.
        const std::size_t take =
            std::min(static_cast<std::size_t>(m_pReadableEnd - at) / unitBytes, limit + 1 - n);
        if (unitBytes == 1) {
            if (const void* zero = std::memchr(at, 0, take)) {
                units = n + static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - at);
                return true;
            }
        } else {
            for (std::size_t i = 0; i < take; ++i)
                if ((at[2 * i] | at[2 * i + 1]) == 0) {
                    units = n + i;
                    return true;
                }
        }
        n += take;
        at += take * unitBytes;
    }
    return false;
}

}  // namespace tqcore::parser
