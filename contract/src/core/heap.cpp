// Fixed-size block heaps. Each thread keeps a magazine of free blocks per
// heap, so an allocate/free pair touches no shared cache line. A magazine
// that runs empty takes a run of blocks from the heap, and one that runs full
// hands its blocks back. The heap keeps a bitmap of free blocks per chunk and
// always hands out the lowest free addresses first: freeing order would
// otherwise decide where the next tree's blocks lie, and a process that has
// built and dropped other trees would hand a new one out scattered over
// memory. Pages of a chunk are touched only as its blocks are first used.
#include "tqcore/heap.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "alloc_fault.h"
#include "heap_cache.h"
#include "spinlock.h"
#include "tqcore/thread_exit.h"

namespace tqcore {

namespace detail {
ThreadCache g_noCache;
}  // namespace detail

namespace {

using detail::g_noCache;
using detail::kMaxCachedHeaps;
using detail::kNoCacheSlot;
using detail::t_cache;
using detail::ThreadCache;

constexpr std::uint32_t kTakeBatch = 256;  // blocks taken into an empty magazine at once

struct Chunk {
    char* base;
    char* end;
    std::uint64_t* freeBits;  // bit i: block i is free
    std::uint32_t freeBlocks;
    std::uint32_t lowWord;  // no free bit below this word
};

}  // namespace

struct CFHeap::Impl {
    std::string name;
    std::size_t blockSize;
    std::uint32_t perChunk;
    std::uint64_t maxBlocks;  // 0: no limit
    unsigned slot;            // magazine index, or kNoCacheSlot

    detail::SpinLock lock;
    std::vector<Chunk> chunks;    // by address
    std::size_t lowChunk = 0;     // no free block in a chunk below this one
    std::size_t lastGiven = 0;    // the chunk the last block given back was in
    std::uint64_t capacity = 0;   // blocks in all chunks
    std::uint64_t freeCount = 0;  // free blocks in all chunks
    // Offsets are exact multiples of the block size, so a block's index is
    // the offset shifted by the size's power of two and multiplied by the
    // inverse of its odd part: no division on the path that frees.
    unsigned sizeShift = 0;
    std::uint64_t oddInverse = 1;

    // Under the lock: up to `n` blocks of the lowest free addresses into
    // `out`, the lowest last; returns how many.
    std::uint32_t take(std::uint32_t n, void** out);
    // Under the lock: the `count` blocks at `blocks` become free.
    void give(void* const* blocks, std::uint32_t count);
    // Adds a chunk of `blocks` free blocks (fewer at the limit).
    bool newChunk(std::uint64_t blocks);
    // The index of the first chunk that begins above `p`.
    std::size_t firstAbove(const char* p) const noexcept {
        auto at = std::upper_bound(chunks.begin(), chunks.end(), p,
                                   [](const char* q, const Chunk& x) { return q < x.base; });
        return static_cast<std::size_t>(at - chunks.begin());
    }
    // The index of the chunk holding `block`; blocks given back together
    // mostly share one, so the last one found is tried first.
    std::size_t chunkOf(const char* block) noexcept {
        const Chunk& last = chunks[lastGiven];
        if (block >= last.base && block < last.end) return lastGiven;
        return lastGiven = firstAbove(block) - 1;
    }
};

bool CFHeap::Impl::newChunk(std::uint64_t blocks) {
    std::uint64_t n = blocks;
    if (maxBlocks) {
        std::uint64_t room = maxBlocks - capacity;
        if (room < n) n = room;
    }
    if (n == 0 || !detail::AllocationAllowed()) return false;
    std::size_t words = static_cast<std::size_t>((n + 63) / 64);
    auto* base = static_cast<char*>(std::malloc(static_cast<std::size_t>(n * blockSize)));
    auto* bits = static_cast<std::uint64_t*>(std::malloc(words * sizeof(std::uint64_t)));
    Chunk c{base, base + n * blockSize, bits, static_cast<std::uint32_t>(n), 0};
    const std::size_t index = firstAbove(base);
    try {
        if (!base || !bits) throw std::bad_alloc();
        chunks.insert(chunks.begin() + static_cast<std::ptrdiff_t>(index), c);
    } catch (...) {
        std::free(base);
        std::free(bits);
        return false;
    }
    std::fill(bits, bits + words, ~std::uint64_t(0));
    if (n % 64) bits[words - 1] = (std::uint64_t(1) << (n % 64)) - 1;
    capacity += n;
    freeCount += n;
    if (index <= lowChunk) lowChunk = index;
    lastGiven = index;
    return true;
}

std::uint32_t CFHeap::Impl::take(std::uint32_t n, void** out) {
    while (lowChunk < chunks.size() && chunks[lowChunk].freeBlocks == 0) ++lowChunk;
    if (lowChunk == chunks.size() && !newChunk(perChunk)) return 0;
    Chunk& c = chunks[lowChunk];
    const std::uint32_t got = std::min(n, c.freeBlocks);
    std::uint32_t word = c.lowWord;
    for (std::uint32_t i = 0; i < got;) {
        std::uint64_t bits = c.freeBits[word];
        // Free blocks mostly lie in runs (a fresh chunk, a tree freed
        // whole): each run is handed out by stepping an address.
        while (bits && i < got) {
            const unsigned bit = static_cast<unsigned>(__builtin_ctzll(bits));
            const std::uint64_t above = ~(bits >> bit);
            const unsigned freeAhead = above ? static_cast<unsigned>(__builtin_ctzll(above)) : 64;
            const unsigned run = std::min(freeAhead, got - i);
            char* p = c.base + (std::size_t(word) * 64 + bit) * blockSize;
            for (const std::uint32_t stop = i + run; i < stop; ++i, p += blockSize)
                out[got - 1 - i] = p;
            bits &= run == 64 ? 0 : ~(((std::uint64_t{1} << run) - 1) << bit);
        }
        c.freeBits[word] = bits;
        if (!bits) ++word;
    }
    c.lowWord = word;
    c.freeBlocks -= got;
    freeCount -= got;
    return got;
}

void CFHeap::Impl::give(void* const* blocks, std::uint32_t count) {
    // Blocks freed together mostly share a chunk and often a bitmap word:
    // their bits gather in a register and are stored once per word. What
    // the loop reads stays in locals, which the bitmap's stores could
    // otherwise alias.
    const auto indexAt = [shift = sizeShift, inverse = oddInverse](std::uintptr_t offset) {
        return static_cast<std::size_t>((offset >> shift) * inverse);
    };
    for (std::uint32_t i = 0; i < count;) {
        const std::size_t index = chunkOf(static_cast<const char*>(blocks[i]));
        if (index < lowChunk) lowChunk = index;
        Chunk& c = chunks[index];
        const auto base = reinterpret_cast<std::uintptr_t>(c.base);
        const std::uintptr_t span = reinterpret_cast<std::uintptr_t>(c.end) - base;
        std::uint64_t* const freeBits = c.freeBits;
        const std::uint32_t first = i;
        std::size_t lowest = c.lowWord;
        std::size_t word = indexAt(reinterpret_cast<std::uintptr_t>(blocks[i]) - base) / 64;
        std::uint64_t bits = 0;
        for (; i < count; ++i) {
            // One compare for both ends: below the base the offset wraps.
            const std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(blocks[i]) - base;
            if (offset >= span) break;
            const std::size_t k = indexAt(offset);
            if (k / 64 != word) {
                freeBits[word] |= bits;
                if (word < lowest) lowest = word;
                word = k / 64;
                bits = 0;
            }
            bits |= std::uint64_t{1} << (k % 64);
        }
        freeBits[word] |= bits;
        c.lowWord = static_cast<std::uint32_t>(word < lowest ? word : lowest);
        c.freeBlocks += i - first;
    }
    freeCount += count;
}

namespace {

// Registry of live heaps and of the threads that cache their blocks.
struct Registry {
    std::mutex mutex;
    CFHeap::Impl* heaps[kMaxCachedHeaps + 1] = {};  // by slot
    std::vector<ThreadCache*> threads;  // every thread whose magazines ever held a block
};

Registry& registry() {
    static Registry* r =
        new Registry;  // never destroyed: threads may exit after static destruction
    return *r;
}

// Gives an ended thread's cached blocks back to their heaps.
void HandBack(void* state) noexcept {
    auto* cache = static_cast<ThreadCache*>(state);
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> g(r.mutex);
        for (unsigned i = 1; i <= kMaxCachedHeaps; ++i) {
            std::uint32_t n = cache->counts[i].load(std::memory_order_relaxed);
            if (CFHeap::Impl* heap = r.heaps[i]; heap && n) {
                std::lock_guard<detail::SpinLock> h(heap->lock);
                heap->give(cache->items[i], n);
            }
        }
        r.threads.erase(std::find(r.threads.begin(), r.threads.end(), cache));
    }
    std::free(cache);
    t_cache = &g_noCache;  // a later release on this thread starts over
}

// This thread's own magazines, made and registered on first use; null when
// memory ran out (the thread then uses the shared stacks).
ThreadCache* OwnCache() noexcept {
    if (t_cache != &g_noCache) return t_cache;
    static const detail::ThreadExitHook hook(HandBack);
    // Only the counts are set: the items' pages stay untouched until used.
    auto* cache = static_cast<ThreadCache*>(std::malloc(sizeof(ThreadCache)));
    if (!cache) return nullptr;
    for (std::atomic<std::uint32_t>& count : cache->counts)
        new (&count) std::atomic<std::uint32_t>(0);
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> g(r.mutex);
        try {
            r.threads.push_back(cache);
        } catch (...) {
            std::free(cache);
            return nullptr;
        }
    }
    hook.set(cache);
    return t_cache = cache;
}

// The slow halves stay out of line so that the fast paths need no stack frame.
__attribute__((noinline)) void* AllocSlow(CFHeap::Impl* impl) noexcept {
    ThreadCache* cache = impl->slot != kNoCacheSlot ? OwnCache() : nullptr;
    if (!cache) {
        void* block = nullptr;
        std::lock_guard<detail::SpinLock> g(impl->lock);
        impl->take(1, &block);
        return block;
    }
    void** const items = cache->items[impl->slot];
    std::uint32_t n;
    {
        std::lock_guard<detail::SpinLock> g(impl->lock);
        n = impl->take(kTakeBatch, items);
    }
    if (n == 0) return nullptr;
    cache->counts[impl->slot].store(n - 1, std::memory_order_relaxed);
    return items[n - 1];
}

__attribute__((noinline)) void FreeSlow(CFHeap::Impl* impl, void* block) noexcept {
    ThreadCache* cache = impl->slot != kNoCacheSlot ? OwnCache() : nullptr;
    if (!cache) {
        std::lock_guard<detail::SpinLock> g(impl->lock);
        impl->give(&block, 1);
        return;
    }
    void** const items = cache->items[impl->slot];
    std::uint32_t n = cache->counts[impl->slot].load(std::memory_order_relaxed);
    if (n != 0) {
        // A full magazine goes back whole; the freed block starts a new one.
        std::lock_guard<detail::SpinLock> g(impl->lock);
        impl->give(items, n);
    }
    items[0] = block;
    cache->counts[impl->slot].store(1, std::memory_order_relaxed);
}

}  // namespace

CFHeap::CFHeap(const char* name, std::size_t blockSize, std::uint32_t blocksPerChunk,
               std::uint32_t initialChunks, std::uint32_t maxBlocks)
    : m_impl(new Impl) {
    m_impl->name = name ? name : "";
    // At least 24 bytes, whatever was asked for: callers may count on that room.
    constexpr std::size_t kSmallest = 24;
    std::size_t size = blockSize < kSmallest ? kSmallest : blockSize;
    m_impl->blockSize = (size + 7) & ~std::size_t(7);
    m_impl->sizeShift = static_cast<unsigned>(__builtin_ctzll(m_impl->blockSize));
    std::uint64_t odd = m_impl->blockSize >> m_impl->sizeShift;
    for (int i = 0; i < 6; ++i) m_impl->oddInverse *= 2 - odd * m_impl->oddInverse;
    m_impl->perChunk = blocksPerChunk ? blocksPerChunk : 1;
    m_impl->maxBlocks = maxBlocks == 0xFFFFFFFFu ? 0 : maxBlocks;
    Registry& r = registry();
    {
        std::lock_guard<std::mutex> g(r.mutex);
        m_impl->slot = kNoCacheSlot;
        for (unsigned i = 1; i <= kMaxCachedHeaps; ++i) {
            if (!r.heaps[i]) {
                r.heaps[i] = m_impl;
                m_impl->slot = i;
                break;
            }
        }
    }
    // Chunks asked for up front are reserved as one region; its pages are
    // touched only as blocks are handed out.
    if (initialChunks) {
        std::lock_guard<detail::SpinLock> g(m_impl->lock);
        m_impl->newChunk(std::uint64_t(m_impl->perChunk) * initialChunks);
    }
}

CFHeap::~CFHeap() {
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> g(r.mutex);
        if (m_impl->slot != kNoCacheSlot) {
            // The blocks cached for this heap die with its chunks.
            r.heaps[m_impl->slot] = nullptr;
            for (ThreadCache* t : r.threads) {
                t->counts[m_impl->slot].store(0, std::memory_order_relaxed);
            }
        }
    }
    for (const Chunk& c : m_impl->chunks) {
        std::free(c.base);
        std::free(c.freeBits);
    }
    delete m_impl;
}

void* CFHeap::Alloc() noexcept {
    if (!detail::AllocationAllowed()) return nullptr;
    if (void* block = detail::TakeCachedBlock(m_impl->slot)) return block;
    return AllocSlow(m_impl);
}

void CFHeap::Free(void* block) noexcept {
    if (!block || detail::PutCachedBlock(m_impl->slot, block)) return;
    FreeSlow(m_impl, block);
}

void* detail::HeapAccess::AllocSlow(CFHeap& heap) noexcept {
    return tqcore::AllocSlow(heap.m_impl);
}

void detail::HeapAccess::FreeSlow(CFHeap& heap, void* block) noexcept {
    tqcore::FreeSlow(heap.m_impl, block);
}

unsigned detail::HeapAccess::Slot(const CFHeap& heap) noexcept {
    return heap.m_impl->slot;
}

CFHeap* detail::MakeClassHeaps(const char* name, const std::size_t* sizes, unsigned count,
                               std::atomic<unsigned>* slots) noexcept {
    auto* h = static_cast<CFHeap*>(std::malloc(sizeof(CFHeap) * count));
    for (unsigned c = 0; c < count; ++c) {
        new (h + c) CFHeap(name, sizes[c], static_cast<std::uint32_t>(65536 / sizes[c]), 0, 0);
        slots[c].store(HeapAccess::Slot(h[c]), std::memory_order_relaxed);
    }
    return h;
}

std::size_t CFHeap::GetBlockSize() const noexcept {
    return m_impl->blockSize;
}

const char* CFHeap::GetName() const noexcept {
    return m_impl->name.c_str();
}

bool CountAllocation() noexcept {
    return detail::AllocationAllowed();
}

std::int64_t CFHeap::GetUsedCount() const noexcept {
    std::uint64_t cached = 0;
    Registry& r = registry();
    {
        std::lock_guard<std::mutex> g(r.mutex);
        if (m_impl->slot != kNoCacheSlot) {
            for (ThreadCache* t : r.threads)
                cached += t->counts[m_impl->slot].load(std::memory_order_relaxed);
        }
    }
    std::lock_guard<detail::SpinLock> g(m_impl->lock);
    return static_cast<std::int64_t>(m_impl->capacity - m_impl->freeCount - cached);
}

}  // namespace tqcore
