#include "tqcore/memory.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>

#include "tqcore/heap.h"

namespace tqcore {

struct CPMemory::Header {
    std::atomic<std::int32_t> holders;
    std::uint32_t reserved;
    std::uint64_t size;
};

namespace {

constexpr std::size_t kHeaderBytes = 16;
constexpr std::uint64_t kMaxSize = SIZE_MAX - kHeaderBytes;

}  // namespace

CPMemory::Header* CPMemory::header() const noexcept {
    static_assert(sizeof(Header) == kHeaderBytes,
                  "the payload keeps the allocator's 16-byte alignment");
    return static_cast<Header*>(m_p) - 1;
}

CPMemory::CPMemory(const CPMemory& o) noexcept : m_p(o.m_p) {
    if (m_p) header()->holders.fetch_add(1, std::memory_order_relaxed);
}

CPMemory& CPMemory::operator=(const CPMemory& o) noexcept {
    if (m_p != o.m_p) {
        if (o.m_p) o.header()->holders.fetch_add(1, std::memory_order_relaxed);
        Free();
        m_p = o.m_p;
    }
    return *this;
}

CPMemory& CPMemory::operator=(CPMemory&& o) noexcept {
    if (this != &o) {
        Free();
        m_p = o.m_p;
        o.m_p = nullptr;
    }
    return *this;
}

void* CPMemory::newBlock(std::uint64_t size) noexcept {
    void* block = _falloc(sizeof(Header) + static_cast<std::size_t>(size));
    if (!block) return nullptr;
    Header* h = new (block) Header;
    h->holders.store(1, std::memory_order_relaxed);
    h->reserved = 0;
    h->size = size;
    return h + 1;
}

bool CPMemory::Alloc(std::uint64_t size) noexcept {
    Free();
    if (size == 0 || size > kMaxSize) return false;
    m_p = newBlock(size);
    return m_p != nullptr;
}

bool CPMemory::Realloc(std::uint64_t size) noexcept {
    if (size == 0 || size > kMaxSize) return false;
    if (!m_p) return Alloc(size);
    Header* h = header();
    if (h->holders.load(std::memory_order_acquire) == 1) {
        // Only this holder can reach the block, so it may move in place.
        void* moved = _frealloc(h, sizeof(Header) + static_cast<std::size_t>(size));
        if (!moved) return false;
        h = static_cast<Header*>(moved);
        h->size = size;
        m_p = h + 1;
        return true;
    }
    void* copy = newBlock(size);
    if (!copy) return false;
    std::memcpy(copy, m_p, static_cast<std::size_t>(size < h->size ? size : h->size));
    // Another holder may have let go meanwhile; then this one was the last.
    if (dropHold()) discardBlock();
    m_p = copy;
    return true;
}

void CPMemory::Free() noexcept {
    if (dropHold()) discardBlock();
}

bool CPMemory::dropHold() noexcept {
    if (!m_p) return false;
    if (header()->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) return true;
    m_p = nullptr;
    return false;
}

void CPMemory::discardBlock() noexcept {
    Header* h = header();
    h->~Header();
    _ffree(h);
    m_p = nullptr;
}

std::uint64_t CPMemory::GetSize() const noexcept {
    return m_p ? header()->size : 0;
}

std::int32_t CPMemory::GetHolders() const noexcept {
    return m_p ? header()->holders.load(std::memory_order_acquire) : 0;
}

std::size_t CPMemory::AlignOffset(std::size_t offset, std::size_t alignment) const noexcept {
    if (alignment == 0 || (alignment & (alignment - 1)) != 0) return offset;
    const std::uintptr_t base = reinterpret_cast<std::uintptr_t>(m_p);
    const std::uintptr_t mask = alignment - 1;
    const std::uintptr_t misalignment = (base + offset) & mask;
    if (misalignment == 0) return offset;
    const std::size_t padding = alignment - misalignment;
    return offset > SIZE_MAX - padding ? offset : offset + padding;
}

}  // namespace tqcore
