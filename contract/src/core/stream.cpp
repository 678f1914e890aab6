#include "tqcore/stream.h"

#include <cstring>

#include "tqcore/heap.h"
#include "tqplatform/files.h"

namespace tqcore {
namespace {

constexpr std::uint32_t kAccessMask = tqplat::GENERIC_READ | tqplat::GENERIC_WRITE;

}  // namespace

CPFMemoryStream::CPFMemoryStream() noexcept
    : m_ppBlocks(nullptr), m_sBlocks(0), m_sSlots(0), m_qwSize(0), m_qwPos(0), m_dwAccess(0) {}

CPFMemoryStream::~CPFMemoryStream() {
    Delete();
}

bool CPFMemoryStream::Open(std::uint32_t access, bool keepContent) noexcept {
    if (IsOpen() || (access & kAccessMask) == 0) return false;
    if (!keepContent) Delete();
    m_dwAccess = access & kAccessMask;
    m_qwPos = 0;
    return true;
}

void CPFMemoryStream::Close() noexcept {
    m_dwAccess = 0;
}

void CPFMemoryStream::Delete() noexcept {
    for (std::size_t i = 0; i < m_sBlocks; ++i) _ffree(m_ppBlocks[i]);
    _ffree(m_ppBlocks);
    m_ppBlocks = nullptr;
    m_sBlocks = m_sSlots = 0;
    m_qwSize = m_qwPos = 0;
}

// Makes sure blocks exist for the first `size` bytes. On failure the blocks
// already added stay (the destructor frees them) and the content is as before.
bool CPFMemoryStream::reserve(std::uint64_t size) noexcept {
    const std::uint64_t needed = size / kBlockSize + (size % kBlockSize != 0);
    if (needed > SIZE_MAX / sizeof(unsigned char*)) return false;
    if (needed > m_sSlots) {
        std::size_t slots = m_sSlots ? m_sSlots : 8;
        while (slots < needed)
            slots = slots > SIZE_MAX / 2 / sizeof(unsigned char*) ? needed : slots * 2;
        void* table = _frealloc(m_ppBlocks, slots * sizeof(unsigned char*));
        if (!table) return false;
        m_ppBlocks = static_cast<unsigned char**>(table);
        m_sSlots = slots;
    }
    while (m_sBlocks < needed) {
        void* block = _falloc(kBlockSize);
        if (!block) return false;
        m_ppBlocks[m_sBlocks++] = static_cast<unsigned char*>(block);
    }
    return true;
}

std::size_t CPFMemoryStream::Write(const void* data, std::size_t size) noexcept {
    if (!(m_dwAccess & tqplat::GENERIC_WRITE) || !data || size == 0) return 0;
    if (size > UINT64_MAX - m_qwPos) return 0;
    const std::uint64_t end = m_qwPos + size;
    if (!reserve(end)) return 0;
    const auto* in = static_cast<const unsigned char*>(data);
    for (std::size_t left = size; left;) {
        const std::size_t offset = static_cast<std::size_t>(m_qwPos % kBlockSize);
        const std::size_t n = left < kBlockSize - offset ? left : kBlockSize - offset;
        std::memcpy(m_ppBlocks[m_qwPos / kBlockSize] + offset, in, n);
        in += n;
        left -= n;
        m_qwPos += n;
    }
    if (end > m_qwSize) m_qwSize = end;
    return size;
}

std::size_t CPFMemoryStream::Read(void* buffer, std::size_t size) noexcept {
    if (!(m_dwAccess & tqplat::GENERIC_READ) || !buffer) return 0;
    const std::uint64_t available = m_qwSize - m_qwPos;
    const std::size_t total = static_cast<std::size_t>(size < available ? size : available);
    auto* out = static_cast<unsigned char*>(buffer);
    for (std::size_t left = total; left;) {
        const std::size_t offset = static_cast<std::size_t>(m_qwPos % kBlockSize);
        const std::size_t n = left < kBlockSize - offset ? left : kBlockSize - offset;
        std::memcpy(out, m_ppBlocks[m_qwPos / kBlockSize] + offset, n);
        out += n;
        left -= n;
        m_qwPos += n;
    }
    return total;
}

std::int64_t CPFMemoryStream::SetPointer(std::int64_t offset, std::uint32_t method) noexcept {
    if (!IsOpen()) return -1;
    std::int64_t origin;
    switch (method) {
        case tqplat::FILE_BEGIN:
            origin = 0;
            break;
        case tqplat::FILE_CURRENT:
            origin = static_cast<std::int64_t>(m_qwPos);
            break;
        case tqplat::FILE_END:
            origin = static_cast<std::int64_t>(m_qwSize);
            break;
        default:
            return -1;
    }
    // Sizes stay far below 2^63, so only a huge offset can overflow.
    if ((offset > 0 && origin > INT64_MAX - offset) || (offset < 0 && origin + offset < 0))
        return -1;
    const std::int64_t target = origin + offset;
    if (static_cast<std::uint64_t>(target) > m_qwSize) return -1;
    m_qwPos = static_cast<std::uint64_t>(target);
    return target;
}

bool CPFMemoryStream::Store(CPMemory& mem) const noexcept {
    if (!mem.Alloc(m_qwSize)) return false;
    auto* out = static_cast<unsigned char*>(static_cast<void*>(mem));
    std::size_t block = 0;
    for (std::uint64_t done = 0; done < m_qwSize; done += kBlockSize) {
        const std::uint64_t left = m_qwSize - done;
        std::memcpy(out + done, m_ppBlocks[block++],
                    static_cast<std::size_t>(left < kBlockSize ? left : kBlockSize));
    }
    return true;
}

}  // namespace tqcore
