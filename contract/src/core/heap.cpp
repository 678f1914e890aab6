// Fixed-size block heaps. Each thread keeps a small magazine of free blocks
// per heap, so an allocate/free pair touches no shared cache line; blocks
// move between a magazine and the heap's shared free list in batches.
#include "tqcore/heap.h"

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "alloc_fault.h"
#include "spinlock.h"

namespace tqcore {

namespace {

constexpr unsigned kMaxCachedHeaps = 64;  // heaps beyond this use the shared list only
constexpr std::uint32_t kBatch = 32;      // blocks moved per refill or flush
constexpr std::uint32_t kMagazineLimit = 2 * kBatch;

struct FreeBlock {
    FreeBlock* next;
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

// Trivially constructed, so access needs no guard.
__attribute__((tls_model("initial-exec"))) thread_local ThreadCache t_cache;

}  // namespace

struct CFHeap::Impl {
    std::string name;
    std::size_t blockSize;
    std::uint32_t perChunk;
    std::uint64_t maxBlocks;  // 0: no limit
    unsigned slot;            // magazine index, or kMaxCachedHeaps

    detail::SpinLock lock;
    FreeBlock* freeList = nullptr;
    std::uint64_t freeCount = 0;
    std::uint64_t carved = 0;
    std::vector<void*> chunks;

    bool carveChunk();
    // Moves up to `n` blocks from the shared list (carving when empty) onto `*head`.
    std::uint32_t takeBatch(FreeBlock** head, std::uint32_t n);
    void giveBatch(FreeBlock* head, FreeBlock* tail, std::uint32_t n);
};

namespace {

// Registry of live heaps and of the threads that cache their blocks.
struct Registry {
    std::mutex mutex;
    CFHeap::Impl* heaps[kMaxCachedHeaps] = {};
    std::vector<ThreadCache*> threads;  // every thread whose magazines ever held a block
};

Registry& registry() {
    static Registry* r = new Registry;  // never destroyed: threads may exit after static destruction
    return *r;
}

// Gives a thread's cached blocks back to their heaps when the thread ends.
struct ThreadCacheOwner {
    ThreadCacheOwner() {
        Registry& r = registry();
        std::lock_guard<std::mutex> g(r.mutex);
        r.threads.push_back(&t_cache);
    }
    ~ThreadCacheOwner() {
        Registry& r = registry();
        std::lock_guard<std::mutex> g(r.mutex);
        for (unsigned i = 0; i < kMaxCachedHeaps; ++i) {
            Magazine& m = t_cache.magazines[i];
            CFHeap::Impl* heap = r.heaps[i];
            std::uint32_t n = m.count.load(std::memory_order_relaxed);
            FreeBlock* head = m.head.load(std::memory_order_relaxed);
            if (heap && n) {
                FreeBlock* tail = head;
                while (tail->next) tail = tail->next;
                heap->giveBatch(head, tail, n);
            }
            m.head.store(nullptr, std::memory_order_relaxed);
            m.count.store(0, std::memory_order_relaxed);
        }
        for (auto it = r.threads.begin(); it != r.threads.end(); ++it) {
            if (*it == &t_cache) {
                r.threads.erase(it);
                break;
            }
        }
    }
};

void EnsureThreadRegistered() {
    static thread_local ThreadCacheOwner owner;
    (void)owner;
}

inline Magazine* MagazineFor(const CFHeap::Impl* heap) {
    return heap->slot < kMaxCachedHeaps ? &t_cache.magazines[heap->slot] : nullptr;
}

}  // namespace

bool CFHeap::Impl::carveChunk() {
    std::uint64_t n = perChunk;
    if (maxBlocks && carved + n > maxBlocks) n = maxBlocks - carved;
    if (n == 0 || !detail::AllocationAllowed()) return false;
    auto* chunk = static_cast<char*>(std::malloc(static_cast<std::size_t>(n * blockSize)));
    if (!chunk) return false;
    try {
        chunks.push_back(chunk);
    } catch (...) {
        std::free(chunk);
        return false;
    }
    for (std::uint64_t i = n; i-- > 0;) {
        auto* b = reinterpret_cast<FreeBlock*>(chunk + i * blockSize);
        b->next = freeList;
        freeList = b;
    }
    freeCount += n;
    carved += n;
    return true;
}

std::uint32_t CFHeap::Impl::takeBatch(FreeBlock** head, std::uint32_t n) {
    std::lock_guard<detail::SpinLock> g(lock);
    if (!freeList && !carveChunk()) return 0;
    std::uint32_t taken = 0;
    while (taken < n && freeList) {
        FreeBlock* b = freeList;
        freeList = b->next;
        b->next = *head;
        *head = b;
        ++taken;
    }
    freeCount -= taken;
    return taken;
}

void CFHeap::Impl::giveBatch(FreeBlock* head, FreeBlock* tail, std::uint32_t n) {
    std::lock_guard<detail::SpinLock> g(lock);
    tail->next = freeList;
    freeList = head;
    freeCount += n;
}

CFHeap::CFHeap(const char* name, std::size_t blockSize, std::uint32_t blocksPerChunk, std::uint32_t initialChunks,
               std::uint32_t maxBlocks)
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
    std::lock_guard<detail::SpinLock> g(m_impl->lock);
    for (std::uint32_t i = 0; i < initialChunks && m_impl->carveChunk(); ++i) {
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

namespace {

// The slow halves stay out of line so that the fast paths need no stack frame.
__attribute__((noinline)) void* AllocSlow(CFHeap::Impl* impl) noexcept {
    Magazine* m = MagazineFor(impl);
    FreeBlock* b = nullptr;
    if (!m) return impl->takeBatch(&b, 1) ? b : nullptr;
    EnsureThreadRegistered();
    std::uint32_t n = impl->takeBatch(&b, kBatch);
    if (n == 0) return nullptr;
    m->head.store(b->next, std::memory_order_relaxed);
    m->count.store(n - 1, std::memory_order_relaxed);
    return b;
}

__attribute__((noinline)) void FreeSlow(CFHeap::Impl* impl, FreeBlock* b) noexcept {
    Magazine* m = MagazineFor(impl);
    if (!m) {
        impl->giveBatch(b, b, 1);
        return;
    }
    std::uint32_t n = m->count.load(std::memory_order_relaxed);
    if (n == 0) {
        EnsureThreadRegistered();
        b->next = nullptr;
    } else {
        // A full magazine: hand all but the newest batch back to the shared list.
        FreeBlock* keepTail = m->head.load(std::memory_order_relaxed);
        for (std::uint32_t i = 1; i < kBatch; ++i) keepTail = keepTail->next;
        FreeBlock* giveHead = keepTail->next;
        FreeBlock* giveTail = giveHead;
        while (giveTail->next) giveTail = giveTail->next;
        keepTail->next = nullptr;
        impl->giveBatch(giveHead, giveTail, n - kBatch);
        n = kBatch;
        b->next = m->head.load(std::memory_order_relaxed);
    }
    m->head.store(b, std::memory_order_relaxed);
    m->count.store(n + 1, std::memory_order_relaxed);
}

}  // namespace

void* CFHeap::Alloc() noexcept {
    if (!detail::AllocationAllowed()) return nullptr;
    if (m_impl->slot < kMaxCachedHeaps) {
        Magazine& m = t_cache.magazines[m_impl->slot];
        std::uint32_t n = m.count.load(std::memory_order_relaxed);
        if (n != 0) {
            FreeBlock* b = m.head.load(std::memory_order_relaxed);
            m.head.store(b->next, std::memory_order_relaxed);
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
        Magazine& m = t_cache.magazines[m_impl->slot];
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

std::size_t CFHeap::GetBlockSize() const noexcept { return m_impl->blockSize; }

const char* CFHeap::GetName() const noexcept { return m_impl->name.c_str(); }

std::int64_t CFHeap::GetUsedCount() const noexcept {
    std::uint64_t cached = 0;
    Registry& r = registry();
    {
        std::lock_guard<std::mutex> g(r.mutex);
        if (m_impl->slot < kMaxCachedHeaps) {
            for (ThreadCache* t : r.threads) {
                cached += t->magazines[m_impl->slot].count.load(std::memory_order_relaxed);
            }
        }
    }
    std::lock_guard<detail::SpinLock> g(m_impl->lock);
    return static_cast<std::int64_t>(m_impl->carved - m_impl->freeCount - cached);
}

}  // namespace tqcore
