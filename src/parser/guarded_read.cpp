// Page checks ahead of every read of caller memory.
#include "parser/guarded_read.h"

#include <algorithm>
#include <cstring>

#include "parser/readable_pages.h"

namespace tqcore::parser {

bool GuardedReader::at(std::size_t offset, std::uintptr_t& address) noexcept {
    if (!__builtin_add_overflow(m_start, offset, &address)) return true;
    m_fault = UINTPTR_MAX;
    return false;
}

bool GuardedReader::ensure(std::uintptr_t address, std::size_t bytes) noexcept {
    std::uintptr_t end;
    if (__builtin_add_overflow(address, bytes, &end)) {
        m_fault = UINTPTR_MAX;
        return false;
    }
    for (std::uintptr_t u = address; u < end;) {
        if (m_readableEnd && u >= m_start && u < m_readableEnd) {
            u = m_readableEnd;
            continue;
        }
        const std::uintptr_t page = u & ~(kPage - 1);
        const std::size_t pages = ReadablePages(page);
        if (pages == 0) {
            m_fault = u;
            return false;
        }
        if (__builtin_mul_overflow(pages, kPage, &m_readableEnd) ||
            __builtin_add_overflow(page, m_readableEnd, &m_readableEnd))
            m_readableEnd = UINTPTR_MAX;
    }
    return true;
}

bool GuardedReader::Byte(std::size_t offset, unsigned char& value) noexcept {
    std::uintptr_t address;
    if (!at(offset, address) || !ensure(address, 1)) return false;
    value = *reinterpret_cast<const unsigned char*>(address);
    return true;
}

bool GuardedReader::Measure(std::size_t offset, unsigned int unitBytes, std::size_t limit,
                            std::size_t& units) noexcept {
    std::uintptr_t address;
    if (!at(offset, address)) return false;
    for (std::size_t n = 0; n <= limit;) {
        if (!ensure(address, unitBytes)) return false;
        // Scan what is known readable without further checks.
        const std::size_t take =
            std::min(static_cast<std::size_t>(m_readableEnd - address) / unitBytes, limit + 1 - n);
        const auto* text = reinterpret_cast<const unsigned char*>(address);
        if (unitBytes == 1) {
            if (const void* zero = std::memchr(text, 0, take)) {
                units =
                    n + static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - text);
                return true;
            }
        } else {
            for (std::size_t i = 0; i < take; ++i)
                if ((text[2 * i] | text[2 * i + 1]) == 0) {
                    units = n + i;
                    return true;
                }
        }
        n += take;
        address += take * unitBytes;  // within the checked range, so no overflow
    }
    return false;
}

}  // namespace tqcore::parser
