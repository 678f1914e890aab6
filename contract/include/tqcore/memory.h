#pragma once
// Shared, counted blocks of raw bytes. Copies share one block; the last
// holder gives it back.
#include <cstddef>
#include <cstdint>

#include "tqcore/export.h"

namespace tqcore {

class TQCORE_API CPMemory {
  public:
    CPMemory() noexcept : m_p(nullptr) {}
    CPMemory(const CPMemory& o) noexcept;
    CPMemory(CPMemory&& o) noexcept : m_p(o.m_p) { o.m_p = nullptr; }
    ~CPMemory() { Free(); }
    CPMemory& operator=(const CPMemory& o) noexcept;
    CPMemory& operator=(CPMemory&& o) noexcept;

    // A new private block of `size` bytes (content undefined); the old block
    // is released first. False, and no block, for a size of 0 or when memory
    // runs out.
    bool Alloc(std::uint64_t size) noexcept;
    // Resizes keeping the leading bytes; the block may move. A shared block is
    // copied, so the other holders keep theirs. False (size 0, or no memory)
    // leaves the memory as it was.
    bool Realloc(std::uint64_t size) noexcept;
    void Free() noexcept;

    std::uint64_t GetSize() const noexcept;
    // Number of holders of the block (0 without one).
    std::int32_t GetHolders() const noexcept;
    // The first offset at or after `offset` whose address in the block is a
    // multiple of `alignment` (a power of two; anything else gives `offset`).
    // Without a block the offset itself is rounded up.
    std::size_t AlignOffset(std::size_t offset, std::size_t alignment) const noexcept;

    operator void*() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

  protected:
    // Gives up this holder's share. True when it was the last one: the block
    // is then still here for a final look and must go with discardBlock().
    bool dropHold() noexcept;
    void discardBlock() noexcept;

  private:
    struct Header;
    Header* header() const noexcept;
    // A block of `size` bytes with one holder: its first byte, or null.
    static void* newBlock(std::uint64_t size) noexcept;

    void* m_p;  // the first byte; the header lies in front of it
};
static_assert(sizeof(CPMemory) == sizeof(void*), "memory is one pointer");

}  // namespace tqcore
