// The string pool: sharded hash tables of counted entries. A look-up locks
// one shard; a copy or a non-final release of a pooled string locks nothing.
#include "tqcore/pool.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "alloc_fault.h"
#include "heap_cache.h"
#include "spinlock.h"
#include "tqcore/heap.h"

namespace tqcore {

namespace detail {
// The empty string lives outside the table and is never freed.
PoolEntry g_emptyEntry{{1 << 30}, 0, 0, 0, {0}};
}  // namespace detail

const CPPoolString CPPoolString::pempty(&detail::g_emptyEntry);

namespace {

using detail::PoolEntry;

constexpr unsigned kShardBits = 6;
constexpr unsigned kShards = 1u << kShardBits;
constexpr std::size_t kStackUnits = 256;

// Entries up to 256 bytes come from block heaps of a few sizes, so that
// interning a new text and dropping it again costs no general allocation.
constexpr std::size_t kEntryClasses[] = {32, 48, 64, 96, 128, 192, 256};
constexpr std::size_t kClassCount = sizeof(kEntryClasses) / sizeof(kEntryClasses[0]);

std::size_t EntryBytes(std::uint32_t length) noexcept {
    return offsetof(PoolEntry, text) + (length + 1u) * 2u;
}

unsigned ClassOf(std::size_t bytes) noexcept {
    unsigned c = 0;
    while (c < kClassCount && kEntryClasses[c] < bytes) ++c;
    return c;  // kClassCount: too large for the heaps
}

// Each class's magazine slot, set once its heap is made (the empty slot
// until then), so that an entry is handed out and taken back without
// reaching the heap object.
std::atomic<unsigned> g_entrySlots[kClassCount] = {};

CFHeap* EntryHeaps() {
    static CFHeap* const heaps =
        detail::MakeClassHeaps("_poolstrings", kEntryClasses, kClassCount, g_entrySlots);
    return heaps;
}

PoolEntry* AllocEntry(std::uint32_t length) noexcept {
    std::size_t bytes = EntryBytes(length);
    unsigned c = ClassOf(bytes);
    if (c < kClassCount)
        return static_cast<PoolEntry*>(
            detail::AllocThroughSlot(g_entrySlots[c].load(std::memory_order_relaxed),
                                     [c]() -> CFHeap& { return EntryHeaps()[c]; }));
    if (!detail::AllocationAllowed()) return nullptr;
    return static_cast<PoolEntry*>(std::malloc(bytes));
}

// Sets the fields of `e`, whose text of `length` units is in place.
void InitEntry(PoolEntry* e, std::uint32_t length, std::uint32_t hash, std::uint32_t shard,
               std::int32_t refs) noexcept {
    new (&e->refs) std::atomic<std::int32_t>(refs);
    e->length = length;
    e->hash = hash;
    e->shard = shard;
    e->text[length] = 0;
}

void FreeEntry(PoolEntry* e) noexcept {
    unsigned c = ClassOf(EntryBytes(e->length));
    if (c < kClassCount)
        detail::FreeThroughSlot(g_entrySlots[c].load(std::memory_order_relaxed), e,
                                [c]() -> CFHeap& { return EntryHeaps()[c]; });
    else
        std::free(e);
}

// Open addressing with linear probing; a slot keeps the hash and length, so a
// probe touches an entry only when both match. New texts probe to a free
// slot, and the run they cross is what the load bounds.
constexpr struct { std::size_t num, den; } kMaxLoad = {3, 4};

struct Slot {
    std::uint32_t hash;
    std::uint32_t length;
    PoolEntry* entry;  // null: free
};

// A shard per pair of cache lines: the first is written by every look-up,
// the second is read by other threads' prefetches and written only when the
// table grows.
struct alignas(64) Shard {
    detail::SpinLock lock;
    Slot* slots = nullptr;
    std::size_t mask = 0;  // slot count - 1
    std::size_t count = 0;
    // The slots and mask again for prefetches, which take no lock: a stale
    // pair only fetches a line for nothing.
    alignas(64) std::atomic<const Slot*> hintSlots{nullptr};
    std::atomic<std::size_t> hintMask{0};

    // The slot holding the text, or the free slot where its probe ends.
    std::size_t find(const unsigned short* text, std::uint32_t length,
                     std::uint32_t hash) const noexcept {
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& s = slots[i];
            if (!s.entry || (s.hash == hash && s.length == length &&
                             detail::SameBytes(s.entry->text, text, length * 2u)))
                return i;
        }
    }

    void place(const Slot& slot) noexcept {
        std::size_t i = slot.hash & mask;
        while (slots[i].entry) i = (i + 1) & mask;
        slots[i] = slot;
    }

    bool grow() noexcept {
        std::size_t oldSize = slots ? mask + 1 : 0;
        std::size_t n = oldSize ? oldSize * 2 : 64;
        auto* fresh = static_cast<Slot*>(std::calloc(n, sizeof(Slot)));
        if (!fresh) return false;
        Slot* old = slots;
        slots = fresh;
        mask = n - 1;
        hintSlots.store(fresh, std::memory_order_relaxed);
        hintMask.store(mask, std::memory_order_relaxed);
        for (std::size_t i = 0; i < oldSize; ++i)
            if (old[i].entry) place(old[i]);
        std::free(old);
        return true;
    }

    // Room for one more entry, growing the table to keep the load at
    // kMaxLoad at most; a failed growth still leaves room while another free
    // slot remains. `moved`: the table grew, so a probe's free slot is stale.
    bool room(bool& moved) noexcept {
        moved = (count + 1) * kMaxLoad.den > (mask + 1) * kMaxLoad.num && grow();
        return moved || count + 1 <= mask;
    }

    // Adds `e` at `free`, the slot where its probe ended, after room().
    void put(std::size_t free, bool moved, PoolEntry* e) noexcept {
        const Slot slot{e->hash, e->length, e};
        if (moved)
            place(slot);
        else
            slots[free] = slot;
        ++count;
    }

    void remove(const PoolEntry* e) noexcept {
        std::size_t i = e->hash & mask;
        while (slots[i].entry != e) i = (i + 1) & mask;
        // Shift later members of the probe run back over the hole.
        for (std::size_t j = (i + 1) & mask; slots[j].entry; j = (j + 1) & mask) {
            std::size_t home = slots[j].hash & mask;
            bool between = i <= j ? (i < home && home <= j) : (i < home || home <= j);
            if (!between) {
                slots[i] = slots[j];
                i = j;
            }
        }
        slots[i] = Slot{0, 0, nullptr};
        --count;
    }
};

// Constant-initialized and trivially destroyed, so pooled strings held by
// static objects anywhere may be made and released at any time.
Shard g_shards[kShards];

inline Shard* shards() noexcept {
    return g_shards;
}

// Starts fetching the slot where a text of hash `hash` is looked up. It
// takes no lock: a stale table only fetches a line for nothing.
inline void PrefetchSlot(std::uint32_t hash) noexcept {
    const Shard& s = shards()[hash >> (32 - kShardBits)];
    const Slot* slots = s.hintSlots.load(std::memory_order_relaxed);
    if (slots) __builtin_prefetch(slots + (hash & s.hintMask.load(std::memory_order_relaxed)));
}

// Drops one reference to `e`, whose shard the caller has locked; true when
// it was the last. A count of 1 is the caller's alone: only a look-up could
// raise it, and look-ups take the lock. So the last release needs no
// interlocked step.
bool DropUnderLock(PoolEntry* e) noexcept {
    return e->refs.load(std::memory_order_acquire) == 1 ||
           e->refs.fetch_sub(1, std::memory_order_acq_rel) == 1;
}

// The release batch open on this thread, if any.
__attribute__((tls_model("initial-exec"))) thread_local detail::ReleaseBatch* t_batch = nullptr;

}  // namespace

namespace detail {

std::uint64_t HashLongBlocks(const unsigned char* p, std::size_t bytes, std::uint64_t h) noexcept {
    std::uint64_t lanes[kHashLanes];
    for (std::size_t k = 0; k < kHashLanes; ++k) lanes[k] = h ^ k;
    for (std::size_t i = 0; i + kHashBlockBytes <= bytes; i += kHashBlockBytes)
        for (std::size_t k = 0; k < kHashLanes; ++k) {
            std::uint64_t w;
            std::memcpy(&w, p + i + 8 * k, 8);
            lanes[k] = (lanes[k] ^ w) * kHashMul;
            lanes[k] ^= lanes[k] >> 29;
        }
    // Folded pairwise, so that the multiplies of each level overlap.
    for (std::size_t n = kHashLanes; n > 1; n /= 2)
        for (std::size_t k = 0; k < n / 2; ++k)
            lanes[k] = lanes[2 * k] * kHashMul ^ lanes[2 * k + 1];
    return lanes[0];
}

void ReleaseEntry(PoolEntry* entry) noexcept {
    if (entry == &g_emptyEntry) {
        entry->refs.fetch_sub(1, std::memory_order_relaxed);
        return;
    }
    if (ReleaseBatch* batch = t_batch) {
        batch->add(entry);
        return;
    }
    Shard& s = shards()[entry->shard];
    s.lock.lock();
    const bool last = DropUnderLock(entry);
    if (last) s.remove(entry);
    s.lock.unlock();
    if (last) FreeEntry(entry);
}

ReleaseBatch::ReleaseBatch() noexcept : m_open(t_batch == nullptr) {
    if (m_open) t_batch = this;
}

ReleaseBatch::~ReleaseBatch() {
    if (!m_open) return;
    flush();
    t_batch = nullptr;
}

void ReleaseBatch::add(PoolEntry* entry) noexcept {
    if (m_count == kCapacity) flushFinal();
    m_entries[m_count++] = entry;
}

void ReleaseBatch::Drop(PoolEntry* entry) noexcept {
    if (!entry) return;
    ReleaseBatch* batch = t_batch;
    if (!batch || entry == &g_emptyEntry) {
        PoolAccess::Release(entry);
        return;
    }
    // A text the tree repeats is counted here without reading its entry,
    // whose line another thread's tree may be counting on at the same time.
    if (batch->countIfHeld(entry)) return;
    // A tree's texts lie scattered: each count is read kLag drops after its
    // fetch starts, so that the misses overlap instead of following in turn.
    __builtin_prefetch(entry, 1);
    PoolEntry*& slot = batch->m_lagging[batch->m_lagNext++ % kLag];
    PoolEntry* due = slot;
    slot = entry;
    if (due) batch->settle(due);
}

void ReleaseBatch::DropRepeated(PoolEntry* entry, std::int32_t n) noexcept {
    if (!entry) return;
    ReleaseBatch* batch = t_batch;
    if (!batch || entry == &g_emptyEntry) {
        PoolAccess::ReleaseMany(entry, n);
        return;
    }
    if (!batch->countIfHeld(entry, n)) batch->hold(entry, n);
}

void ReleaseBatch::settle(PoolEntry* entry) noexcept {
    // Most texts of a tree are its own: no count to gather. A shared one
    // may have been held by an earlier drop while this one waited.
    if (entry->refs.load(std::memory_order_relaxed) == 1)
        add(entry);
    else if (!countIfHeld(entry))
        hold(entry);
}

// A few probes from the entry's address: the texts a tree repeats (names,
// enumerated values) are a few dozen, and two that share a slot would
// otherwise take turns paying for the shared count. Slots are freed only all
// at once, so a probe that meets a free slot has seen every candidate.
unsigned ReleaseBatch::HeldHome(const PoolEntry* entry) noexcept {
    return static_cast<unsigned>(
        (reinterpret_cast<std::uintptr_t>(entry) * 0x9E3779B97F4A7C15ull) >>
        (64 - __builtin_ctz(kHeld)));
}

bool ReleaseBatch::countIfHeld(const PoolEntry* entry, std::int32_t n) noexcept {
    const unsigned home = HeldHome(entry);
    for (unsigned k = 0; k < kProbes; ++k) {
        const unsigned i = (home + k) & (kHeld - 1);
        if (!isHeld(i)) return false;
        if (m_held[i].entry == entry) {
            m_held[i].count += n;
            return true;
        }
    }
    return false;
}

void ReleaseBatch::hold(PoolEntry* entry, std::int32_t n) noexcept {
    const unsigned home = HeldHome(entry);
    for (unsigned k = 0; k < kProbes; ++k) {
        const unsigned i = (home + k) & (kHeld - 1);
        if (!isHeld(i)) {
            m_heldSlots[i / 64] |= std::uint64_t{1} << (i % 64);
            m_held[i] = Held{entry, n};
            return;
        }
    }
    PoolAccess::ReleaseMany(m_held[home].entry, m_held[home].count);
    m_held[home] = Held{entry, n};
}

void ReleaseBatch::settleHeld() noexcept {
    for (unsigned w = 0; w < kHeld / 64; ++w) {
        for (std::uint64_t slots = m_heldSlots[w]; slots; slots &= slots - 1) {
            const Held& held = m_held[w * 64 + __builtin_ctzll(slots)];
            PoolAccess::ReleaseMany(held.entry, held.count);  // a final release comes back to add
        }
        m_heldSlots[w] = 0;
    }
}

void ReleaseBatch::flush() noexcept {
    for (PoolEntry*& lagging : m_lagging) {
        if (PoolEntry* due = lagging) {
            lagging = nullptr;
            settle(due);
        }
    }
    settleHeld();
    flushFinal();
}

void ReleaseBatch::flushFinal() noexcept {
    if (m_count == 0) return;
    // Sorted by shard (counting sort), so each shard is locked once. The
    // slots are scattered: their fetches start here, all of them, so that
    // few are still on their way when the first shard's removals begin.
    unsigned starts[kShards + 1] = {};
    for (unsigned i = 0; i < m_count; ++i) {
        ++starts[m_entries[i]->shard + 1];
        PrefetchSlot(m_entries[i]->hash);
    }
    for (unsigned k = 0; k < kShards; ++k) starts[k + 1] += starts[k];
    PoolEntry* sorted[kCapacity];
    for (unsigned i = 0; i < m_count; ++i) sorted[starts[m_entries[i]->shard]++] = m_entries[i];
    // `starts[k]` is now where shard k's run ends.
    unsigned dead = 0;
    for (unsigned k = 0, begin = 0; k < kShards; begin = starts[k++]) {
        if (begin == starts[k]) continue;
        Shard& s = shards()[k];
        s.lock.lock();
        for (unsigned i = begin; i < starts[k]; ++i) {
            if (!DropUnderLock(sorted[i])) continue;
            s.remove(sorted[i]);
            m_entries[dead++] = sorted[i];
        }
        s.lock.unlock();
    }
    for (unsigned i = 0; i < dead; ++i) FreeEntry(m_entries[i]);
    m_count = 0;
}

void PrefetchHashed(std::uint32_t hash) noexcept {
    PrefetchSlot(hash);
}

}  // namespace detail

namespace {

// As LookUp, in shard `shardIndex` of `s`, whose lock the caller holds.
template <class Make>
PoolEntry* LookUpLocked(Shard& s, std::uint32_t shardIndex, const unsigned short* text,
                        std::uint32_t count, std::uint32_t hash, bool create, std::int32_t refs,
                        Make make) noexcept {
    PoolEntry* e = nullptr;
    if (s.slots || (create && s.grow())) {
        const std::size_t i = s.find(text, count, hash);
        e = s.slots[i].entry;
        bool moved;
        if (e) {
            e->refs.fetch_add(refs, std::memory_order_relaxed);
        } else if (create && s.room(moved) && (e = make())) {
            InitEntry(e, count, hash, shardIndex, refs);
            s.put(i, moved, e);
        }
    }
    return e;
}

// The entry holding `count` units at `text`, with `refs` more references;
// else, when `create`, the one that `make()` gives with the text in place
// (null when memory ran out), entered with `refs` references.
template <class Make>
PoolEntry* LookUp(const unsigned short* text, std::uint32_t count, std::uint32_t hash, bool create,
                  std::int32_t refs, Make make) noexcept {
    const std::uint32_t shardIndex = hash >> (32 - kShardBits);
    Shard& s = shards()[shardIndex];
    s.lock.lock();
    PoolEntry* e = LookUpLocked(s, shardIndex, text, count, hash, create, refs, make);
    s.lock.unlock();
    return e;
}

// A new entry holding a copy of the `count` units at `text`.
PoolEntry* CopiedEntry(const unsigned short* text, std::uint32_t count) noexcept {
    PoolEntry* e = AllocEntry(count);
    if (e) std::memcpy(e->text, text, count * 2u);
    return e;
}

PoolEntry* Intern(const unsigned short* text, std::uint32_t count, std::uint32_t hash, bool create,
                  std::int32_t refs = 1) noexcept {
    return LookUp(text, count, hash, create, refs,
                  [&]() noexcept { return CopiedEntry(text, count); });
}

// `built`, whose text came out `count` units long, in an allocation of the
// size that its length gives, or null when none could be had (`built` is
// freed then).
PoolEntry* FitEntry(PoolEntry* built, std::uint32_t count) noexcept {
    const unsigned had = ClassOf(EntryBytes(built->length)), needs = ClassOf(EntryBytes(count));
    PoolEntry* fitted = built;
    if (had == kClassCount && needs == kClassCount) {
        // Shrinking in place; should it fail, the larger block serves.
        void* smaller = count < built->length ? std::realloc(built, EntryBytes(count)) : nullptr;
        if (smaller) fitted = static_cast<PoolEntry*>(smaller);
    } else if (had != needs) {
        fitted = AllocEntry(count);
        if (fitted) std::memcpy(fitted->text, built->text, count * 2u);
        FreeEntry(built);
        if (!fitted) return nullptr;
    }
    fitted->length = count;
    return fitted;
}

}  // namespace

detail::PoolEntry* detail::InternHashed(const unsigned short* text, std::uint32_t count,
                                        std::uint32_t hash, std::int32_t refs) noexcept {
    return Intern(text, count, hash, true, refs);
}

void detail::InternGrouped(const GroupedText* texts, unsigned n, PoolEntry** out) noexcept {
    for (; n > kMaxGroupedTexts; n -= kMaxGroupedTexts) {
        InternGrouped(texts, kMaxGroupedTexts, out);
        texts += kMaxGroupedTexts;
        out += kMaxGroupedTexts;
    }
    // Sorted by shard (counting sort); `starts[k]` ends as where shard k's run ends.
    unsigned starts[kShards + 1] = {};
    for (unsigned i = 0; i < n; ++i) ++starts[(texts[i].hash >> (32 - kShardBits)) + 1];
    for (unsigned k = 0; k < kShards; ++k) starts[k + 1] += starts[k];
    unsigned short order[kMaxGroupedTexts];
    for (unsigned i = 0; i < n; ++i)
        order[starts[texts[i].hash >> (32 - kShardBits)]++] = static_cast<unsigned short>(i);
    for (unsigned k = 0, begin = 0; k < kShards; begin = starts[k++]) {
        if (begin == starts[k]) continue;
        Shard& s = shards()[k];
        s.lock.lock();
        for (unsigned j = begin; j < starts[k]; ++j) {
            const GroupedText& t = texts[order[j]];
            out[order[j]] = LookUpLocked(s, k, t.units, t.count, t.hash, true, t.refs,
                                         [&t]() noexcept { return CopiedEntry(t.units, t.count); });
        }
        s.lock.unlock();
    }
}

detail::PoolEntry* detail::NewEntry(std::uint32_t room) noexcept {
    PoolEntry* e = AllocEntry(room);
    if (e) e->length = room;
    return e;
}

void detail::FreeBuilt(PoolEntry* built) noexcept {
    FreeEntry(built);
}

detail::PoolEntry* detail::InternBuilt(PoolEntry* built, std::uint32_t count,
                                       std::int32_t refs) noexcept {
    built = FitEntry(built, count);
    if (!built) return nullptr;
    PoolEntry* e = LookUp(built->text, count, HashUnits(built->text, count), true, refs,
                          [built]() noexcept { return built; });
    if (e != built) FreeEntry(built);
    return e;
}

CPPoolString CStringPool::GetStringRefn(const unsigned short* text, unsigned int count) {
    if (!text) return CPPoolString();
    if (count == 0) return CPPoolString::pempty;
    return CPPoolString(Intern(text, count, detail::HashUnits(text, count), true));
}

CPPoolString CStringPool::QueryStringRefn(const unsigned short* text, unsigned int count) {
    if (!text) return CPPoolString();
    if (count == 0) return CPPoolString::pempty;
    return CPPoolString(Intern(text, count, detail::HashUnits(text, count), false));
}

CPPoolString CStringPool::GetStringRef(const unsigned short* text) {
    if (!text) return CPPoolString();
    std::size_t n = 0;
    while (text[n]) ++n;
    if (n > 0xFFFFFFFEu) return CPPoolString();
    return GetStringRefn(text, static_cast<unsigned int>(n));
}

CPPoolString CStringPool::GetStringRef(IStringSubmitter& submitter) {
    unsigned int length = submitter.GetLength();
    if (length >= 0x7FFFFFFFu) return CPPoolString();
    unsigned short local[kStackUnits];
    unsigned short* buffer = local;
    if (length + 1u > kStackUnits) {
        if (!detail::AllocationAllowed()) return CPPoolString();
        buffer = static_cast<unsigned short*>(std::malloc((length + 1u) * 2u));
        if (!buffer) return CPPoolString();
    }
    // The text is asked for even when empty: a failed submission of an
    // empty text (a null source) gives a null string, not the empty one.
    CPPoolString result;
    if (submitter.Submit(buffer)) result = GetStringRefn(buffer, length);
    if (buffer != local) std::free(buffer);
    return result;
}

std::size_t CStringPool::GetCount() {
    std::size_t total = 0;
    Shard* s = shards();
    for (unsigned i = 0; i < kShards; ++i) {
        s[i].lock.lock();
        total += s[i].count;
        s[i].lock.unlock();
    }
    return total;
}

CPPoolString::CPPoolString(const unsigned short* text) : m_p(nullptr) {
    *this = CStringPool::GetStringRef(text);
}

CPPoolString& CPPoolString::operator=(const unsigned short* text) {
    return *this = CStringPool::GetStringRef(text);
}

namespace {

// Case folding for the letters of ASCII, Latin-1, Greek and Cyrillic.
unsigned short FoldCase(unsigned short c) noexcept {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

}  // namespace

bool CPPoolString::iequals(const CPPoolString& o) const noexcept {
    if (m_p == o.m_p) return true;
    if (!m_p || !o.m_p || m_p->length != o.m_p->length) return false;
    for (std::uint32_t i = 0; i < m_p->length; ++i) {
        if (FoldCase(m_p->text[i]) != FoldCase(o.m_p->text[i])) return false;
    }
    return true;
}

int CPPoolString::pcmp(const CPPoolString& o) const noexcept {
    if (m_p == o.m_p) return 0;
    if (!m_p) return -1;
    if (!o.m_p) return 1;
    std::uint32_t n = m_p->length < o.m_p->length ? m_p->length : o.m_p->length;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (m_p->text[i] != o.m_p->text[i]) return m_p->text[i] < o.m_p->text[i] ? -1 : 1;
    }
    return m_p->length < o.m_p->length ? -1 : (m_p->length > o.m_p->length ? 1 : 0);
}

}  // namespace tqcore
