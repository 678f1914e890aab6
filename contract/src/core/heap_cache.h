#pragma once
// The magazines of free blocks each thread keeps per block heap. The heaps'
// own fast paths use them, and so does the object memory for its size
// classes: it keeps each class's magazine slot beside it, so that handing a
// block out is a chain of three loads (slot, count, block) rather than going
// through the heap object and its state first.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "alloc_fault.h"
#include "tqcore/heap.h"

namespace tqcore::detail {

// Slot 0 is no heap's: its magazine stays empty, so a heap without one (or
// a size class whose heap is not made yet) falls through every fast path
// with no check of its own.
constexpr unsigned kNoCacheSlot = 0;
constexpr unsigned kMaxCachedHeaps = 64;  // heaps beyond this use the shared bitmaps only
constexpr std::uint32_t kMagazineLimit = 64;

// The free blocks a thread holds for a heap, the next to hand out on top.
// An array rather than a list through the blocks, so that handing one out
// waits for no load from the block before it. The count is a relaxed
// atomic: only the owning thread changes a magazine, except that a heap
// being destroyed empties its magazines in every thread.
struct Magazine {
    std::atomic<std::uint32_t> count;
    void* items[kMagazineLimit];
};

struct ThreadCache {
    Magazine magazines[kMaxCachedHeaps + 1];  // by slot; slot 0 stays empty
};

// A thread's magazines are a block of their own, made at its first slow path;
// until then it points at empty ones, so every fast path falls through.
extern __attribute__((tls_model("initial-exec"))) thread_local ThreadCache* t_cache;

// A block from this thread's magazine of `slot`, or null when it is empty.
inline void* TakeCachedBlock(unsigned slot) noexcept {
    Magazine& m = t_cache->magazines[slot];
    const std::uint32_t n = m.count.load(std::memory_order_relaxed);
    if (n == 0) return nullptr;
    m.count.store(n - 1, std::memory_order_relaxed);
    return m.items[n - 1];
}

// Puts `block` in this thread's magazine of `slot`; false when that one is
// full or has none yet (the heap's slow path then decides).
inline bool PutCachedBlock(unsigned slot, void* block) noexcept {
    Magazine& m = t_cache->magazines[slot];
    const std::uint32_t n = m.count.load(std::memory_order_relaxed);
    if (n == 0 || n >= kMagazineLimit) return false;
    m.items[n] = block;
    m.count.store(n + 1, std::memory_order_relaxed);
    return true;
}

// The slow halves of a heap's Alloc and Free, for callers that tried the
// magazine themselves (Alloc's half counts nothing against the test seam),
// and the heap's magazine slot.
struct HeapAccess {
    static void* AllocSlow(CFHeap& heap) noexcept;
    static void FreeSlow(CFHeap& heap, void* block) noexcept;
    static unsigned Slot(const CFHeap& heap) noexcept;
};

// Heaps of the block sizes `sizes[0..count)`, carved 64 KiB at a time and
// never destroyed (their blocks may be released during static destruction),
// each one's magazine slot stored in `slots[i]` as it is made.
CFHeap* MakeClassHeaps(const char* name, const std::size_t* sizes, unsigned count,
                       std::atomic<unsigned>* slots) noexcept;

// A block of the heap that `heapOf()` gives, whose magazine slot the caller
// keeps as `slot`: the heap object is reached only on the slow path.
template <class HeapOf>
inline void* AllocThroughSlot(unsigned slot, HeapOf heapOf) noexcept {
    if (!AllocationAllowed()) return nullptr;
    if (void* block = TakeCachedBlock(slot)) return block;
    return HeapAccess::AllocSlow(heapOf());
}

template <class HeapOf>
inline void FreeThroughSlot(unsigned slot, void* block, HeapOf heapOf) noexcept {
    if (!PutCachedBlock(slot, block)) HeapAccess::FreeSlow(heapOf(), block);
}

}  // namespace tqcore::detail
