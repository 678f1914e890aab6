#pragma once
// A parse's own front to the string pool. Names and short texts repeat, so
// each distinct piece is looked up in the shared pool once per cache slot
// life: a hit compares the source units, widens nothing and takes no lock.
//
// The cache holds one reference to each entry it keeps and lends it: the
// caller copies the lent string into the tree (that copy is the tree's own
// reference) and never releases the loan. An evicted entry is retired for one
// more look-up, so a lent string stays valid until the second look-up after
// it; every reference the cache holds is dropped when the parse ends. Long
// pieces are not kept, only retired.
//
// Keys point into the parse buffer: a piece is finished (cut out, decoded,
// terminated) before it is pooled, and the parser writes only ahead of it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "tqcore/heap.h"
#include "tqcore/pool.h"
#include "unit_traits.h"  // by its own directory, for the tests too

namespace tqcore::parser {

// A pooled string on loan: copy it, never release it.
class LentString {
  public:
    explicit LentString(detail::PoolEntry* entry) noexcept
        : m_string(detail::PoolAccess::Adopt(entry)) {}
    LentString(const LentString&) = delete;
    LentString& operator=(const LentString&) = delete;
    ~LentString() {}  // the reference stays with its lender

    const CPPoolString& get() const noexcept { return m_string; }
    bool isnull() const noexcept { return m_string.isnull(); }

  private:
    union {
        CPPoolString m_string;
    };
};

template <class T>
class PieceCache {
  public:
    static constexpr unsigned kSlotBits = 10;
    static constexpr std::size_t kSlots = std::size_t(1) << kSlotBits;
    // Longer pieces seldom repeat: they go to the pool directly.
    static constexpr std::size_t kLongestCached = 64;

    PieceCache() = default;
    PieceCache(const PieceCache&) = delete;
    PieceCache& operator=(const PieceCache&) = delete;
    ~PieceCache() {
        if (m_slots) {
            for (std::size_t i = 0; i < kSlots; ++i)
                if (m_slots[i].entry) detail::PoolAccess::Release(m_slots[i].entry);
            _ffree(m_slots);
        }
        for (detail::PoolEntry* entry : m_retired)
            if (entry) detail::PoolAccess::Release(entry);
    }

    static std::uint32_t Hash(const T* text, std::size_t count) noexcept {
        return detail::HashBytes(text, count * sizeof(T), count);
    }

    // The pooled entry for the `count` units at `text`, widened through
    // `scratch` when it must be interned; null when memory ran out or the
    // text does not convert.
    detail::PoolEntry* Lend(const T* text, std::size_t count, WideScratch& scratch) noexcept {
        if (count == 0) return &detail::g_emptyEntry;
        if (count > kLongestCached) {
            detail::PoolEntry* entry = Traits::Intern(text, count, scratch);
            if (entry) retire(entry);
            return entry;
        }
        if (!m_slots && !allocate()) return nullptr;
        const std::uint32_t hash = Hash(text, count);
        Slot& slot = m_slots[hash & (kSlots - 1)];
        if (slot.hash == hash && slot.length == count && slot.entry &&
            detail::SameBytes(slot.key, text, count * sizeof(T)))
            return slot.entry;
        if (m_retired[m_nextRetired]) __builtin_prefetch(m_retired[m_nextRetired], 1);
        detail::PoolEntry* entry = Traits::InternKeyed(text, count, hash, scratch);
        if (!entry) return nullptr;
        if (slot.entry) retire(slot.entry);
        slot = Slot{text, entry, hash, static_cast<std::uint32_t>(count)};
        return entry;
    }

  private:
    struct Slot {
        const T* key;
        detail::PoolEntry* entry;  // null: free
        std::uint32_t hash;
        std::uint32_t length;
    };

    bool allocate() noexcept {
        m_slots = static_cast<Slot*>(_falloc(kSlots * sizeof(Slot)));
        if (!m_slots) return false;
        std::memset(static_cast<void*>(m_slots), 0, kSlots * sizeof(Slot));
        return true;
    }

    // Each look-up retires one entry at most, and an entry stays retired for
    // two look-ups: what a look-up lends outlives the next one.
    void retire(detail::PoolEntry* entry) noexcept {
        detail::PoolEntry*& oldest = m_retired[m_nextRetired];
        if (oldest) detail::PoolAccess::Release(oldest);
        oldest = entry;
        m_nextRetired ^= 1;
    }

    using Traits = UnitTraits<T>;

    Slot* m_slots = nullptr;
    detail::PoolEntry* m_retired[2] = {nullptr, nullptr};
    unsigned m_nextRetired = 0;
};

}  // namespace tqcore::parser
