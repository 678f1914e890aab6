#include "tqcore/objmem.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>

#include "alloc_fault.h"
#include "heap_cache.h"
#include "page_mapping.h"
#include "spinlock.h"
#include "tqcore/heap.h"

namespace tqcore {

namespace {

// Blocks outside the block heaps, which count their own: a count shared by
// every thread on each list's allocation would make threads building trees
// wait for each other's cache line.
std::atomic<std::int64_t> g_outsideHeaps{0};

// Large blocks are mapped with four times the room they need: untouched
// pages cost nothing, and a growing list then extends in place instead of
// moving into freshly faulted pages at every step.
constexpr std::uint64_t kMapThreshold = 64 * 1024;
constexpr std::uint64_t kMapSlack = 4;

// A few released mappings are kept for reuse, pages and all, so that a tree
// built again (the next document of the same shape) does not fault in fresh
// pages for its large lists.
class MappingCache {
  public:
    void* take(std::uint64_t bytes) noexcept {
        std::lock_guard<detail::SpinLock> g(m_lock);
        for (Kept& k : m_kept) {
            if (k.address && k.bytes == bytes) {
                void* p = k.address;
                k.address = nullptr;
                m_total -= bytes;
                return p;
            }
        }
        return nullptr;
    }
    bool keep(void* address, std::uint64_t bytes) noexcept {
        if (bytes > kMaxKeptBytes / 4) return false;
        std::lock_guard<detail::SpinLock> g(m_lock);
        if (m_total + bytes > kMaxKeptBytes) return false;
        for (Kept& k : m_kept) {
            if (!k.address) {
                k = Kept{address, bytes};
                m_total += bytes;
                return true;
            }
        }
        return false;
    }

  private:
    static constexpr std::uint64_t kMaxKeptBytes = 64ull
                                                   << 20;  // address space; touched pages are less
    struct Kept {
        void* address;
        std::uint64_t bytes;
    };
    detail::SpinLock m_lock;
    Kept m_kept[8] = {};
    std::uint64_t m_total = 0;
};

// Trivially destroyed; kept mappings go with the process.
MappingCache g_mappings;

std::uint64_t PageRound(std::uint64_t bytes) {
    static const std::uint64_t page = detail::SystemPageSize();
    return (bytes + page - 1) / page * page;
}

// Blocks are carved in size classes (16-byte steps up to 128 bytes, then
// four classes per power of two), so that a block can often grow in place.
std::uint64_t RoundToClass(std::uint64_t total) {
    if (total <= 128) return (total + 15) & ~std::uint64_t(15);
    std::uint64_t top = std::uint64_t(1) << (63 - __builtin_clzll(total));
    std::uint64_t step = top / 4;
    return (total + step - 1) & ~(step - 1);
}

// The small classes come from block heaps: a tree's lists are mostly a few
// items each, and a heap hands them out and takes them back without the
// general allocator's bookkeeping.
constexpr std::size_t kHeapClasses[] = {32, 48, 64, 80, 96, 112, 128, 160, 192, 224, 256};
constexpr unsigned kHeapClassCount = sizeof(kHeapClasses) / sizeof(kHeapClasses[0]);

// The heap of a class size, or kHeapClassCount when it has none.
unsigned HeapClassOf(std::uint64_t physical) noexcept {
    if (physical > kHeapClasses[kHeapClassCount - 1]) return kHeapClassCount;
    if (physical <= 128) return static_cast<unsigned>(physical / 16 - 2);
    return static_cast<unsigned>(7 + (physical - 129) / 32);
}

// Each class's magazine slot, set once its heap is made. Until then it is
// the slot that is always empty, so the fast paths below fall through to
// BlockHeaps(), which makes them. A thread that sees a slot early finds its
// own magazine of it empty: it filled none without BlockHeaps().
std::atomic<unsigned> g_classSlots[kHeapClassCount] = {};
static_assert(detail::kNoCacheSlot == 0, "zero-initialised slots are the empty one");

CFHeap* BlockHeaps() {
    static CFHeap* const heaps =
        detail::MakeClassHeaps("_objectmemory", kHeapClasses, kHeapClassCount, g_classSlots);
    return heaps;
}

// A block of class `c` from this thread's magazine, or through its heap.
inline void* AllocOfClass(unsigned c) noexcept {
    return detail::AllocThroughSlot(g_classSlots[c].load(std::memory_order_relaxed),
                                    [c]() -> CFHeap& { return BlockHeaps()[c]; });
}

inline void FreeOfClass(unsigned c, void* block) noexcept {
    detail::FreeThroughSlot(g_classSlots[c].load(std::memory_order_relaxed), block,
                            [c]() -> CFHeap& { return BlockHeaps()[c]; });
}

}  // namespace

void* CPObjectMemory::newBlock(std::uint64_t allocSize, const tagCPOVTABL* vtbl) {
    constexpr std::uint64_t kLimit = std::numeric_limits<std::uint64_t>::max() / (2 * kMapSlack);
    if (allocSize > kLimit) return nullptr;
    std::uint64_t total = sizeof(Header) + allocSize;
    // The heaps count their own allocations against the test seam.
    if (HeapClassOf(RoundToClass(total)) == kHeapClassCount && !detail::AllocationAllowed())
        return nullptr;
    std::uint64_t physical;
    Header* h;
    if (total > kMapThreshold) {
        physical = PageRound(total * kMapSlack);
        if (physical - sizeof(Header) > 0xFFFFFFFFu) physical = PageRound(total);
        void* p = g_mappings.take(physical);
        if (!p) p = detail::MapPages(static_cast<std::size_t>(physical));
        if (!p) return nullptr;
        h = static_cast<Header*>(p);
        g_outsideHeaps.fetch_add(1, std::memory_order_relaxed);
    } else {
        physical = RoundToClass(total);
        const unsigned c = HeapClassOf(physical);
        if (c < kHeapClassCount) {
            h = static_cast<Header*>(AllocOfClass(c));
        } else {
            h = static_cast<Header*>(std::malloc(static_cast<std::size_t>(physical)));
            if (h) g_outsideHeaps.fetch_add(1, std::memory_order_relaxed);
        }
        if (!h) return nullptr;
    }
    h->holders.store(1, std::memory_order_relaxed);
    h->size = 0;
    h->allocSize = allocSize;
    std::uint64_t room = physical - sizeof(Header);
    h->capacity = room <= 0xFFFFFFFFu ? static_cast<std::uint32_t>(room) : 0;
    h->vtbl = vtbl;
    return reinterpret_cast<char*>(h) + sizeof(Header);
}

void CPObjectMemory::releaseStorage(Header* h) noexcept {
    std::uint64_t physical = sizeof(Header) + (h->capacity ? h->capacity : h->allocSize);
    if (const unsigned c = HeapClassOf(physical); c < kHeapClassCount) {
        FreeOfClass(c, h);
        return;
    }
    if (physical > kMapThreshold) {
        std::uint64_t mapped = PageRound(physical);
        if (!g_mappings.keep(h, mapped)) detail::UnmapPages(h, static_cast<std::size_t>(mapped));
    } else {
        std::free(h);
    }
    g_outsideHeaps.fetch_sub(1, std::memory_order_relaxed);
}

CPObjectMemory& CPObjectMemory::operator=(const CPObjectMemory& o) noexcept {
    if (m_p != o.m_p) {
        if (o.m_p) o.header()->holders.fetch_add(1, std::memory_order_relaxed);
        free();
        m_p = o.m_p;
    }
    return *this;
}

CPObjectMemory& CPObjectMemory::operator=(CPObjectMemory&& o) noexcept {
    if (this != &o) {
        free();
        m_p = o.m_p;
        o.m_p = nullptr;
    }
    return *this;
}

void CPObjectMemory::release() noexcept {
    Header* h = header();
    m_p = nullptr;
    // A sole holder skips the interlocked step: no one else can reach the block.
    if (h->holders.load(std::memory_order_acquire) != 1 &&
        h->holders.fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    void* data = reinterpret_cast<char*>(h) + sizeof(Header);
    if (h->vtbl && h->vtbl->pfnFinalize && h->size) h->vtbl->pfnFinalize(data, h->size);
    releaseStorage(h);
}

bool CPObjectMemory::Alloc(std::uint64_t bytes, const tagCPOVTABL* vtbl) {
    free();
    void* p = newBlock(bytes, vtbl);
    if (!p) return false;
    if (vtbl && vtbl->pfnCreate && bytes) vtbl->pfnCreate(p, bytes);
    m_p = p;
    header()->size = bytes;
    return true;
}

bool CPObjectMemory::Incalloc(std::uint64_t bytes) {
    if (!m_p) return false;
    Header* h = header();
    if (h->capacity <= h->allocSize || bytes > h->capacity - h->allocSize) return false;
    h->allocSize += bytes;
    return true;
}

bool CPObjectMemory::clone() {
    if (!m_p || GetHolders() <= 1) return true;
    Header* old = header();
    void* p = newBlock(old->allocSize, old->vtbl);
    if (!p) return false;
    if (old->size) {
        if (old->vtbl && old->vtbl->pfnClone)
            old->vtbl->pfnClone(p, m_p, old->size);
        else
            std::memcpy(p, m_p, static_cast<std::size_t>(old->size));
    }
    reinterpret_cast<Header*>(static_cast<char*>(p) - sizeof(Header))->size = old->size;
    free();
    m_p = p;
    return true;
}

bool CPObjectMemory::IsAssignable(std::uint64_t bytes, const tagCPOVTABL* vtbl) const noexcept {
    return !m_p || (header()->vtbl == vtbl && header()->size == bytes);
}

std::int64_t CPObjectMemory::GetBlockCount() noexcept {
    std::int64_t count = g_outsideHeaps.load(std::memory_order_relaxed);
    for (unsigned c = 0; c < kHeapClassCount; ++c) count += BlockHeaps()[c].GetUsedCount();
    return count;
}

}  // namespace tqcore
