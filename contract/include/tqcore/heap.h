#pragma once
// Fixed-size block heaps, the general allocation functions and the
// allocator interface.
#include <cstddef>
#include <cstdint>

#include "tqcore/export.h"

namespace tqcore {

namespace detail {
struct HeapAccess;
}  // namespace detail

// A thread-safe heap of blocks of one size. `blocksPerChunk` blocks are
// carved at a time, `initialChunks` chunks up front, and at most `maxBlocks`
// blocks are handed out at once (0 or 0xFFFFFFFF: no limit). The name is
// for diagnostics.
class TQCORE_API CFHeap {
  public:
    CFHeap(const char* name, std::size_t blockSize, std::uint32_t blocksPerChunk,
           std::uint32_t initialChunks, std::uint32_t maxBlocks);
    ~CFHeap();
    CFHeap(const CFHeap&) = delete;
    CFHeap& operator=(const CFHeap&) = delete;

    // A block, or null when the limit is reached or memory runs out.
    void* Alloc() noexcept;
    void Free(void* block) noexcept;

    std::size_t GetBlockSize() const noexcept;
    const char* GetName() const noexcept;
    // Blocks handed out and not yet given back.
    std::int64_t GetUsedCount() const noexcept;

    struct Impl;

  private:
    friend struct detail::HeapAccess;
    Impl* m_impl;
};

// General allocation (zero size allowed; null on failure).
TQCORE_API void* _falloc(std::size_t size) noexcept;
TQCORE_API void* _frealloc(void* block, std::size_t size) noexcept;
TQCORE_API void _ffree(void* block) noexcept;

// An allocator: the first slot allocates a byte count (null on failure),
// the second gives such a block back.
class Inewdelete {
  public:
    virtual void* New(std::uint64_t size) = 0;
    virtual void Delete(void* block) = 0;

  protected:
    ~Inewdelete() = default;
};

// Test seam: after `allocations` more successful allocations by the core
// library (heaps, object memory, pooled strings, _falloc), every further one
// fails until the countdown is reset with -1 (the default: never fail).
TQCORE_API void SetAllocationFailureCountdown(std::int64_t allocations) noexcept;
// Whether a countdown is set: work that would make the failures fall in a
// different order each run (a second thread's allocations) is then left out.
TQCORE_API bool AllocationFailureArmed() noexcept;
// Counts one allocation made with an allocator of the caller's own against
// that countdown: false when it is to fail. Lets the seam reach allocations
// that do not go through the core library.
TQCORE_API bool CountAllocation() noexcept;

}  // namespace tqcore
