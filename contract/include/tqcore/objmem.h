#pragma once
// Shared, typed memory blocks with a holder count. A block has a used size
// and an allocated size; its type table constructs, copies and destroys the
// items in the used bytes. The last holder's release finalizes them.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "tqcore/export.h"

namespace tqcore {

struct tagCPOVTABL {
    void (*pfnCreate)(void* storage, std::uint64_t bytes);
    void (*pfnClone)(void* target, const void* source, std::uint64_t bytes);
    void (*pfnFinalize)(void* storage, std::uint64_t bytes);
};

class TQCORE_API CPObjectMemory {
  public:
    CPObjectMemory() noexcept : m_p(nullptr) {}
    CPObjectMemory(const CPObjectMemory& o) noexcept : m_p(o.m_p) {
        if (m_p) header()->holders.fetch_add(1, std::memory_order_relaxed);
    }
    CPObjectMemory(CPObjectMemory&& o) noexcept : m_p(o.m_p) { o.m_p = nullptr; }
    ~CPObjectMemory() { free(); }
    CPObjectMemory& operator=(const CPObjectMemory& o) noexcept;
    CPObjectMemory& operator=(CPObjectMemory&& o) noexcept;

    // A new block of `bytes` used bytes, constructed by the table's create;
    // the old block is released first. False (and no block) on failure.
    bool Alloc(std::uint64_t bytes, const tagCPOVTABL* vtbl);
    // A new block with room for `bytes` and a used size of 0.
    // Inline: every list's first block comes this way.
    bool Prealloc(std::uint64_t bytes, const tagCPOVTABL* vtbl) {
        free();
        m_p = newBlock(bytes, vtbl);
        return m_p != nullptr;
    }
    // Grows the allocated size by `bytes` without moving the block. False
    // leaves the block unchanged (no block, or no room where it lies).
    bool Incalloc(std::uint64_t bytes);
    // Used bytes. SetSize neither constructs nor destroys: the holder does.
    std::uint64_t GetSize() const noexcept { return m_p ? header()->size : 0; }
    bool SetSize(std::uint64_t bytes) noexcept {
        if (!m_p) return bytes == 0;
        if (bytes > header()->allocSize) return false;
        header()->size = bytes;
        return true;
    }
    std::uint64_t GetAllocSize() const noexcept { return m_p ? header()->allocSize : 0; }
    // Number of holders of the block (0 without one).
    std::int32_t GetHolders() const noexcept {
        return m_p ? header()->holders.load(std::memory_order_acquire) : 0;
    }
    const tagCPOVTABL* GetVtbl() const noexcept { return m_p ? header()->vtbl : nullptr; }
    // Makes the block private: a shared block is copied (same allocated
    // size, used bytes through the table's clone). False when it cannot be.
    bool clone();
    // Releases the block; the last holder finalizes the used bytes.
    void free() noexcept {
        if (m_p) release();  // inline: most lists of a tree have no block
    }
    // Starts fetching the block's header and first items, for a holder
    // that will soon read or release it; nothing without a block.
    void Prefetch() const noexcept {
        if (m_p) {
            __builtin_prefetch(header(), 1);
            __builtin_prefetch(m_p);
        }
    }
    // Empty, or a block of that table whose used size is exactly `bytes`.
    bool IsAssignable(std::uint64_t bytes, const tagCPOVTABL* vtbl) const noexcept;

    operator void*() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

    // Number of blocks alive in the process, for leak checks.
    static std::int64_t GetBlockCount() noexcept;

  private:
    struct Header {
        std::atomic<std::int32_t> holders;
        std::uint32_t capacity;  // bytes that fit where the block lies; 0: no room beyond allocSize
        std::uint64_t size;
        std::uint64_t allocSize;
        const tagCPOVTABL* vtbl;
    };
    static_assert(sizeof(Header) % 8 == 0, "items stay 8-byte aligned");
    Header* header() const noexcept {
        return reinterpret_cast<Header*>(static_cast<char*>(m_p) - sizeof(Header));
    }
    static void* newBlock(std::uint64_t allocSize, const tagCPOVTABL* vtbl);
    static void releaseStorage(Header* h) noexcept;
    void release() noexcept;  // free() of a block

    void* m_p;  // the first used byte; the header lies in front of it
};
static_assert(sizeof(CPObjectMemory) == sizeof(void*), "object memory is one pointer");

}  // namespace tqcore
