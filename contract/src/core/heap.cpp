// Fixed-size block heaps. Each thread keeps a magazine of free blocks per
// heap, so an allocate/free pair touches no shared cache line. A magazine
// that runs empty takes a whole batch from the heap's shared stack, and one
// that runs full hands itself back as a batch: both in constant time. Chunks
// are carved lazily, so their pages are touched only as blocks are used.
#include "tqcore/heap.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "alloc_fault.h"
#include "spinlock.h"
#include "tqcore/thread_exit.h"

namespace tqcore {

namespace {

constexpr unsigned kMaxCachedHeaps = 64;   // heaps beyond this use the shared stack only
constexpr std::uint32_t kCarveBatch = 32;  // blocks carved into an empty magazine at once
constexpr std::uint32_t kMagazineLimit = 64;

// A free block; the first block of a batch on the shared stack also heads it.
struct FreeBlock {
    FreeBlock* next;       // within the batch; the last block's is null
    FreeBlock* nextBatch;  // the next batch on the shared stack
    std::uint64_t count;   // blocks in the batch
};

// Relaxed atomics: only the owning thread changes a magazine, except that a
// heap being destroyed empties its magazines in every thread.
struct Magazine {
    std::atomic<FreeBlock*> head;
    std::atomic<std::uint32_t> count;
};

struct ThreadCache {
    Magazine magazines[kMaxCachedHeaps];
};

// A thread's magazines are a block of their own, made at its first slow path;
// until then it points at empty ones, so every fast path falls through.
ThreadCache g_noCache;
__attribute__((tls_model("initial-exec"))) thread_local ThreadCache* t_cache = &g_noCache;

}  // namespace

struct CFHeap::Impl {
    std::string name;
    std::size_t blockSize;
    std::uint32_t perChunk;
    std::uint64_t maxBlocks;  // 0: no limit
    unsigned slot;            // magazine index, or kMaxCachedHeaps

    detail::SpinLock lock;
    FreeBlock* batches = nullptr;  // shared stack of free batches
    std::uint64_t freeCount = 0;   // blocks in those batches
    std::uint64_t carved = 0;      // blocks ever carved
    char* carveNext = nullptr;     // the uncarved rest of the newest chunk
    char* carveEnd = nullptr;
    std::vector<void*> chunks;

    // Under the lock: a chain of up to `n` blocks (a whole batch when there
    // is one, else freshly carved ones) and its length in `*count`.
    FreeBlock* take(std::uint32_t n, std::uint32_t* count);
    // Under the lock: the null-terminated chain as one batch.
    void give(FreeBlock* head, std::uint64_t count);
    // A chunk of `blocks` blocks (fewer at the limit) becomes the carving region.
    bool newChunk(std::uint64_t blocks);
};

bool CFHeap::Impl::newChunk(std::uint64_t blocks) {
    std::uint64_t n = blocks;
    if (maxBlocks) {
        std::uint64_t room = maxBlocks - carved;
        if (room < n) n = room;
    }
    if (n == 0 || !detail::AllocationAllowed()) return false;
    auto* chunk = static_cast<char*>(std::malloc(static_cast<std::size_t>(n * blockSize)));
    if (!chunk) return false;
    try {
        chunks.push_back(chunk);
    } catch (...) {
        std::free(chunk);
        return false;
    }
    carveNext = chunk;
    carveEnd = chunk + n * blockSize;
    return true;
}

FreeBlock* CFHeap::Impl::take(std::uint32_t n, std::uint32_t* count) {
    if (FreeBlock* batch = batches) {
        batches = batch->nextBatch;
        freeCount -= batch->count;
        *count = static_cast<std::uint32_t>(batch->count);
        return batch;
    }
    if (carveNext == carveEnd && !newChunk(perChunk)) {
        *count = 0;
        return nullptr;
    }
    std::uint64_t left = static_cast<std::uint64_t>(carveEnd - carveNext) / blockSize;
    std::uint32_t got = left < n ? static_cast<std::uint32_t>(left) : n;
    FreeBlock* head = nullptr;
    for (std::uint32_t i = 0; i < got; ++i) {
        auto* b = reinterpret_cast<FreeBlock*>(carveNext);
        carveNext += blockSize;
        b->next = head;
        head = b;
    }
    carved += got;
    *count = got;
    return head;
}

void CFHeap::Impl::give(FreeBlock* head, std::uint64_t count) {
    head->count = count;
    head->nextBatch = batches;
    batches = head;
    freeCount += count;
}

namespace {

// Registry of live heaps and of the threads that cache their blocks.
struct Registry {
    std::mutex mutex;
    CFHeap::Impl* heaps[kMaxCachedHeaps] = {};
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
        for (unsigned i = 0; i < kMaxCachedHeaps; ++i) {
            Magazine& m = cache->magazines[i];
            std::uint32_t n = m.count.load(std::memory_order_relaxed);
            if (CFHeap::Impl* heap = r.heaps[i]; heap && n) {
                std::lock_guard<detail::SpinLock> h(heap->lock);
                heap->give(m.head.load(std::memory_order_relaxed), n);
            }
        }
        r.threads.erase(std::find(r.threads.begin(), r.threads.end(), cache));
    }
    delete cache;
    t_cache = &g_noCache;  // a later release on this thread starts over
}

// This thread's own magazines, made and registered on first use; null when
// memory ran out (the thread then uses the shared stacks).
ThreadCache* OwnCache() noexcept {
    if (t_cache != &g_noCache) return t_cache;
    static const detail::ThreadExitHook hook(HandBack);
    auto* cache = new (std::nothrow) ThreadCache{};
    if (!cache) return nullptr;
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> g(r.mutex);
        try {
            r.threads.push_back(cache);
        } catch (...) {
            delete cache;
            return nullptr;
        }
    }
    hook.set(cache);
    return t_cache = cache;
}

// The slow halves stay out of line so that the fast paths need no stack frame.
__attribute__((noinline)) void* AllocSlow(CFHeap::Impl* impl) noexcept {
    std::uint32_t n = 0;
    FreeBlock* chain;
    ThreadCache* cache = impl->slot < kMaxCachedHeaps ? OwnCache() : nullptr;
    if (!cache) {
        std::lock_guard<detail::SpinLock> g(impl->lock);
        chain = impl->take(1, &n);
        if (chain && n > 1) impl->give(chain->next, n - 1);
        return chain;
    }
    {
        std::lock_guard<detail::SpinLock> g(impl->lock);
        chain = impl->take(kCarveBatch, &n);
    }
    if (!chain) return nullptr;
    Magazine& m = cache->magazines[impl->slot];
    m.head.store(chain->next, std::memory_order_relaxed);
    m.count.store(n - 1, std::memory_order_relaxed);
    return chain;
}

__attribute__((noinline)) void FreeSlow(CFHeap::Impl* impl, FreeBlock* b) noexcept {
    b->next = nullptr;
    ThreadCache* cache = impl->slot < kMaxCachedHeaps ? OwnCache() : nullptr;
    if (!cache) {
        std::lock_guard<detail::SpinLock> g(impl->lock);
        impl->give(b, 1);
        return;
    }
    Magazine& m = cache->magazines[impl->slot];
    std::uint32_t n = m.count.load(std::memory_order_relaxed);
    if (n != 0) {
        // A full magazine goes back whole; the freed block starts a new one.
        std::lock_guard<detail::SpinLock> g(impl->lock);
        impl->give(m.head.load(std::memory_order_relaxed), n);
    }
    m.head.store(b, std::memory_order_relaxed);
    m.count.store(1, std::memory_order_relaxed);
}

}  // namespace

CFHeap::CFHeap(const char* name, std::size_t blockSize, std::uint32_t blocksPerChunk,
               std::uint32_t initialChunks, std::uint32_t maxBlocks)
    : m_impl(new Impl) {
    m_impl->name = name ? name : "";
    std::size_t size = blockSize < sizeof(FreeBlock) ? sizeof(FreeBlock) : blockSize;
    m_impl->blockSize = (size + 7) & ~std::size_t(7);
    m_impl->perChunk = blocksPerChunk ? blocksPerChunk : 1;
    m_impl->maxBlocks = maxBlocks == 0xFFFFFFFFu ? 0 : maxBlocks;
    Registry& r = registry();
    {
        std::lock_guard<std::mutex> g(r.mutex);
        m_impl->slot = kMaxCachedHeaps;
        for (unsigned i = 0; i < kMaxCachedHeaps; ++i) {
            if (!r.heaps[i]) {
                r.heaps[i] = m_impl;
                m_impl->slot = i;
                break;
            }
        }
    }
    // Chunks asked for up front are reserved as one region, not touched:
    // carving is lazy.
    if (initialChunks) {
        std::lock_guard<detail::SpinLock> g(m_impl->lock);
        m_impl->newChunk(std::uint64_t(m_impl->perChunk) * initialChunks);
    }
}

CFHeap::~CFHeap() {
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> g(r.mutex);
        if (m_impl->slot < kMaxCachedHeaps) {
            // The blocks cached for this heap die with its chunks.
            r.heaps[m_impl->slot] = nullptr;
            for (ThreadCache* t : r.threads) {
                t->magazines[m_impl->slot].head.store(nullptr, std::memory_order_relaxed);
                t->magazines[m_impl->slot].count.store(0, std::memory_order_relaxed);
            }
        }
    }
    for (void* chunk : m_impl->chunks) std::free(chunk);
    delete m_impl;
}

void* CFHeap::Alloc() noexcept {
    if (!detail::AllocationAllowed()) return nullptr;
    if (m_impl->slot < kMaxCachedHeaps) {
        Magazine& m = t_cache->magazines[m_impl->slot];
        std::uint32_t n = m.count.load(std::memory_order_relaxed);
        if (n != 0) {
            FreeBlock* b = m.head.load(std::memory_order_relaxed);
            FreeBlock* next = b->next;
            // The next block is written soon after it is handed out, and its
            // link read before: fetch it while this one is being used.
            __builtin_prefetch(next, 1);
            m.head.store(next, std::memory_order_relaxed);
            m.count.store(n - 1, std::memory_order_relaxed);
            return b;
        }
    }
    return AllocSlow(m_impl);
}

void CFHeap::Free(void* block) noexcept {
    if (!block) return;
    auto* b = static_cast<FreeBlock*>(block);
    if (m_impl->slot < kMaxCachedHeaps) {
        Magazine& m = t_cache->magazines[m_impl->slot];
        std::uint32_t n = m.count.load(std::memory_order_relaxed);
        if (n != 0 && n < kMagazineLimit) {
            b->next = m.head.load(std::memory_order_relaxed);
            m.head.store(b, std::memory_order_relaxed);
            m.count.store(n + 1, std::memory_order_relaxed);
            return;
        }
    }
    FreeSlow(m_impl, b);
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
        if (m_impl->slot < kMaxCachedHeaps) {
            for (ThreadCache* t : r.threads)
                cached += t->magazines[m_impl->slot].count.load(std::memory_order_relaxed);
        }
    }
    std::lock_guard<detail::SpinLock> g(m_impl->lock);
    return static_cast<std::int64_t>(m_impl->carved - m_impl->freeCount - cached);
}

}  // namespace tqcore
