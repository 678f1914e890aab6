#pragma once
// A parse's own front to the string pool. Names and short texts repeat, so
// each distinct piece is looked up in the shared pool once per cache slot
// life: a hit compares the source units, widens nothing and takes no lock.
//
// Each kept entry holds the cache's own reference and a stock of spare ones
// taken from the pool in one step, so handing a repeated piece to the tree
// touches no shared count: what the document's threads share is counted once
// per refill, not once per node. An evicted entry gives its spares back; so
// does every entry when the parse ends, before the document is handed out.
// Long pieces are not kept.
//
// Keys point into the parse buffer: a piece is finished (decoded, its
// length known) before it is pooled, and the parser writes only ahead of it.
// A slot also keeps the key's first and last 8 bytes: they pick the slot and
// decide a hit on keys of up to 16 bytes (most names) without the pool's
// hash, which only a miss needs, and without reading the key again.
//
// The slots are a thread's from one parse to the next: a parse frees the
// slots it filled, so the next one, however small, clears nothing.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "../xmlobj/kept_block.h"  // by this file's directory, for the tests too
#include "tqcore/heap.h"
#include "tqcore/pool.h"
#include "unit_traits.h"

namespace tqcore::parser {

template <class T>
class PieceCache {
  public:
    static constexpr unsigned kSlotBits = 10;
    static constexpr std::size_t kSlots = std::size_t(1) << kSlotBits;
    // Longer pieces seldom repeat: they go to the pool directly.
    static constexpr std::size_t kLongestCached = 64;
    // Spare references taken at once for a piece that repeats.
    static constexpr std::int32_t kRefill = 32;

    PieceCache() = default;
    PieceCache(const PieceCache&) = delete;
    PieceCache& operator=(const PieceCache&) = delete;
    ~PieceCache() {
        if (!m_slots) return;
        for (std::size_t w = 0; w < kSlots / 64; ++w) {
            for (std::uint64_t filled = m_filled[w]; filled; filled &= filled - 1) {
                Slot& slot = m_slots[w * 64 + static_cast<std::size_t>(__builtin_ctzll(filled))];
                giveBack(slot);  // a slot once filled always holds an entry
                slot.entry = nullptr;
            }
        }
        Kept::Offer(m_slots, kBlockBytes, kBlockBytes);
    }

    // The pooled string of the `count` units at `text`; null when memory ran
    // out or the text does not convert. Inlined, with misses out of line:
    // every name takes it, and most names are kept.
    __attribute__((always_inline)) CPPoolString Take(const T* text, std::size_t count) noexcept {
        CPPoolString kept;
        if (count != 0 && count <= kLongestCached && TakeKept(text, count, kept)) return kept;
        return takeMissed(text, count);
    }

    // The kept string of a piece of 1 to kLongestCached units in `out`;
    // false when the cache does not hold it.
    __attribute__((always_inline)) bool TakeKept(const T* text, std::size_t count,
                                                 CPPoolString& out) noexcept {
        if (!m_slots) return false;
        const Ends ends = EndsOf(text, count);
        Slot& slot = m_slots[ends.slot()];
        const std::size_t bytes = count * sizeof(T);
        if (slot.head != ends.head || slot.tail != ends.tail || slot.length != count ||
            !slot.entry || (bytes > 16 && !detail::SameBytes(slot.key, text, bytes)))
            return false;
        if (slot.spares == 0) {
            slot.entry->refs.fetch_add(kRefill, std::memory_order_relaxed);
            slot.spares = kRefill;
        }
        --slot.spares;
        out = detail::PoolAccess::Adopt(slot.entry);
        return true;
    }

    // Whether a text that waited in a batch is worth keeping: one seen
    // before (most data and values are seen once, and keeping each would
    // evict a kept piece for nothing). A text not admitted is noted, so
    // that its next sighting is. Notes are never cleared: a stale one only
    // admits a text early.
    bool Admit(const T* text, std::size_t count) noexcept {
        if (!m_slots && !allocate()) return false;
        const std::uint64_t mixed = EndsOf(text, count).mixed();
        std::uint32_t& note = m_notes[(mixed >> (64 - kSlotBits - kNoteBits)) & (kNotes - 1)];
        const auto print = static_cast<std::uint32_t>(mixed) | 1;
        if (note == print) return true;
        note = print;
        return false;
    }

    // Keeps the pooled piece, taking over one of the caller's references to
    // `entry`; a cache that finds no memory drops that reference instead.
    void Keep(const T* text, std::size_t count, detail::PoolEntry* entry) noexcept {
        if (!m_slots && !allocate()) {
            detail::PoolAccess::Release(entry);
            return;
        }
        const Ends ends = EndsOf(text, count);
        const std::size_t at = ends.slot();
        Slot& slot = m_slots[at];
        if (slot.entry) giveBack(slot);
        m_filled[at / 64] |= std::uint64_t{1} << (at % 64);
        slot = Slot{ends.head, ends.tail, text, entry, static_cast<std::uint32_t>(count), 0};
    }

  private:
    // Take for a piece the cache does not hold.
    __attribute__((noinline)) CPPoolString takeMissed(const T* text, std::size_t count) noexcept {
        if (count == 0) return CPPoolString::pempty;
        if (count > kLongestCached) return detail::PoolAccess::Adopt(Traits::Intern(text, count));
        // One reference for the cache, one for the caller.
        detail::PoolEntry* entry = Traits::Intern(text, count, 2);
        if (!entry) return CPPoolString();
        Keep(text, count, entry);
        return detail::PoolAccess::Adopt(entry);
    }

    // A key's first and last 8 bytes, overlapping when it is shorter than
    // 16 (shorter than 8: its first and last 4, or its first, middle and
    // last byte): with its length they tell keys of up to 16 bytes apart.
    struct Ends {
        std::uint64_t head;
        std::uint64_t tail;
        std::uint64_t mixed() const noexcept { return head * detail::kHashMul ^ tail * kTailMul; }
        std::size_t slot() const noexcept {
            return static_cast<std::size_t>(mixed() >> (64 - kSlotBits));
        }
    };
    static constexpr std::uint64_t kTailMul = 0xD6E8FEB86659FD93ull;

    static Ends EndsOf(const T* text, std::size_t count) noexcept {
        const auto* p = reinterpret_cast<const unsigned char*>(text);
        const std::size_t bytes = count * sizeof(T);
        std::uint64_t head, tail;
        if (bytes >= 8) {
            std::memcpy(&head, p, 8);
            std::memcpy(&tail, p + bytes - 8, 8);
        } else if (bytes >= 4) {
            std::uint32_t lo, hi;
            std::memcpy(&lo, p, 4);
            std::memcpy(&hi, p + bytes - 4, 4);
            head = lo;
            tail = hi;
        } else {
            head = p[0] | (std::uint64_t(p[bytes / 2]) << 8) | (std::uint64_t(p[bytes - 1]) << 16);
            tail = 0;
        }
        return Ends{head, tail + bytes};
    }

    struct Slot {
        std::uint64_t head;
        std::uint64_t tail;
        const T* key;
        detail::PoolEntry* entry;  // null: free
        std::uint32_t length;
        std::int32_t spares;  // references held beyond the cache's own
    };

    // Notes of texts seen once, for Admit; they follow the slots in one block.
    static constexpr unsigned kNoteBits = 12;
    static constexpr std::size_t kNotes = std::size_t(1) << kNoteBits;
    static constexpr std::size_t kBlockBytes = kSlots * sizeof(Slot) + kNotes * 4;

    // Slots with no entry: the thread's kept ones, or new ones cleared.
    bool allocate() noexcept {
        std::size_t bytes;
        m_slots = static_cast<Slot*>(Kept::Take(bytes));
        if (!m_slots) {
            m_slots = static_cast<Slot*>(_falloc(kBlockBytes));
            if (!m_slots) return false;
            std::memset(static_cast<void*>(m_slots), 0, kBlockBytes);
        }
        m_notes = reinterpret_cast<std::uint32_t*>(m_slots + kSlots);
        return true;
    }

    static void giveBack(const Slot& slot) noexcept {
        detail::PoolAccess::ReleaseMany(slot.entry, slot.spares + 1);
    }

    using Traits = UnitTraits<T>;
    using Kept = detail::KeptBlock<PieceCache>;

    Slot* m_slots = nullptr;
    std::uint32_t* m_notes = nullptr;
    std::uint64_t m_filled[kSlots / 64] = {};  // bit i: slot i has held an entry
};

}  // namespace tqcore::parser
