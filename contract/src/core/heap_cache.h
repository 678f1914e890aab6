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
constexpr std::uint32_t kMagazineLimit = 512;

// The free blocks a thread holds per heap, by the heap's magazine slot, the
// next to hand out on top. Arrays rather than lists through the blocks, so
// that handing one out waits for no load from the block before it. A few
// hundred blocks per refill: two threads building trees at once then meet
// at a heap's lock and bitmap rarely, as each meeting moves cache lines
// between their cores. The counts lie together, away from the items, so a
// thread's cache costs a few lines until its magazines fill. Counts are
// relaxed atomics: only the owning thread changes a magazine, except that a
// heap being destroyed empties its magazines in every thread.
struct ThreadCache {
    std::atomic<std::uint32_t> counts[kMaxCachedHeaps + 1];  // by slot; slot 0 stays empty
    void* items[kMaxCachedHeaps + 1][kMagazineLimit];
};

// A thread's magazines are a block of their own, made at its first slow path;
// until then it points at empty ones, so every fast path falls through.
// Initialised here, where every user sees that it needs no dynamic
// initialisation: an extern one costs each use a check for an init function.
extern ThreadCache g_noCache;
inline __attribute__((tls_model("initial-exec"))) thread_local ThreadCache* t_cache = &g_noCache;

// A block from this thread's magazine of `slot`, or null when it is empty.
inline void* TakeCachedBlock(unsigned slot) noexcept {
    ThreadCache* const cache = t_cache;
    const std::uint32_t n = cache->counts[slot].load(std::memory_order_relaxed);
    if (n == 0) return nullptr;
    cache->counts[slot].store(n - 1, std::memory_order_relaxed);
    return cache->items[slot][n - 1];
}

// Puts `block` in this thread's magazine of `slot`; false when that one is
// full or has none yet (the heap's slow path then decides).
inline bool PutCachedBlock(unsigned slot, void* block) noexcept {
    ThreadCache* const cache = t_cache;
    const std::uint32_t n = cache->counts[slot].load(std::memory_order_relaxed);
    if (n == 0 || n >= kMagazineLimit) return false;
    cache->items[slot][n] = block;
    cache->counts[slot].store(n + 1, std::memory_order_relaxed);
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
