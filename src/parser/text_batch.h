#pragma once
// Short texts the piece cache does not hold yet (most data values and many
// attribute values are new to the pool) wait in a batch: each one's pool
// slot is fetched when the text is found, and the texts are interned only
// when the batch is full or the parse ends, so that their cache misses
// overlap instead of following one another. Each text carries a `Waiter`,
// the parser's note of where its string goes and what to report if it
// cannot be pooled; nobody sees the tree before the last batch is in.
//
// A thread that parses beside another groups larger batches by the pool's
// shards instead: interning text by text, both threads would take turns at
// the shards' locks, each turn moving a line from one core to the other.
#include <cstddef>
#include <cstdint>
#include <new>

#include "../xmlobj/kept_block.h"  // by this file's directory, for the tests too
#include "piece_cache.h"           // by its own directory, for the tests too
#include "tqcore/heap.h"
#include "tqcore/pool.h"
#include "unit_traits.h"

namespace tqcore::parser {

template <class T, class Waiter>
class TextBatch {
  public:
    static constexpr unsigned kTexts = 32;
    static constexpr unsigned kGroupedTexts = detail::kMaxGroupedTexts;
    // Longer texts are no cache's, and their own length hides their miss.
    static constexpr std::size_t kLongest = PieceCache<T>::kLongestCached;

    TextBatch() noexcept = default;
    TextBatch(const TextBatch&) = delete;
    TextBatch& operator=(const TextBatch&) = delete;
    // The grouped batch's block stays with its thread for the next parse:
    // fresh pages for it would cost more than a small document's parse gains.
    ~TextBatch() { Kept::Offer(m_grouped, sizeof(Grouped), sizeof(Grouped)); }

    // Batches of kGroupedTexts from now on, interned shard by shard; an
    // empty batch only. False, with nothing changed, when memory ran out.
    bool GroupByShard() noexcept {
        if (m_grouped || m_count) return m_grouped != nullptr;
        std::size_t bytes = 0;
        void* block = Kept::Take(bytes);
        if (!block) block = _falloc(sizeof(Grouped));
        if (!block) return false;
        m_grouped = new (block) Grouped;
        m_texts = m_grouped->texts;
        m_room = m_grouped->room;
        m_capacity = kGroupedTexts;
        return true;
    }

    bool Full() const noexcept { return m_count == m_capacity; }

    // Queues the `count` (1 to kLongest) units at `text`; they must stay in
    // place until the batch is flushed. False, with nothing queued, when
    // narrow text does not convert.
    bool Add(const T* text, std::size_t count, const Waiter& waiter) noexcept {
        Text& t = m_texts[m_count];
        std::size_t n = 0;
        const unsigned short* units = Traits::Units(text, count, m_room[m_count], n);
        if (n == 0) return false;
        t = Text{text,
                 units,
                 static_cast<std::uint32_t>(count),
                 static_cast<std::uint32_t>(n),
                 detail::HashUnits(units, n),
                 waiter};
        detail::PrefetchHashed(t.poolHash);
        ++m_count;
        return true;
    }

    // Forgets the texts queued last, newest first, while `picks` their waiter.
    template <class Picks>
    void ForgetLast(Picks picks) noexcept {
        while (m_count && picks(m_texts[m_count - 1].waiter)) --m_count;
    }

    // Interns the queued texts in order, keeps in `cache` those it admits
    // and hands each string to `give(waiter, string)`. Returns null when
    // all went in, else the waiter of the first text that found no memory,
    // valid until the next Add (the batch is empty either way).
    template <class Give>
    const Waiter* Flush(PieceCache<T>& cache, Give give) noexcept {
        if (m_grouped) return flushGrouped(cache, give);
        const unsigned count = m_count;
        m_count = 0;
        for (unsigned i = 0; i < count; ++i) {
            const Text& t = m_texts[i];
            // One reference for the waiter, one more for the cache when it keeps the text.
            const bool keep = cache.Admit(t.key, t.keyCount);
            detail::PoolEntry* entry =
                detail::InternHashed(t.units, t.unitCount, t.poolHash, keep ? 2 : 1);
            if (!entry) return &t.waiter;
            if (keep) cache.Keep(t.key, t.keyCount, entry);
            give(t.waiter, detail::PoolAccess::Adopt(entry));
        }
        return nullptr;
    }

  private:
    using Traits = UnitTraits<T>;
    using Kept = detail::KeptBlock<TextBatch>;

    struct Text {
        const T* key;
        const unsigned short* units;
        std::uint32_t keyCount;
        std::uint32_t unitCount;
        std::uint32_t poolHash;
        Waiter waiter;
    };
    using Room = unsigned short[kLongest];  // a narrow text widened, one unit per byte at most

    struct Grouped {
        Text texts[kGroupedTexts];
        Room room[kGroupedTexts];
        detail::GroupedText pooled[kGroupedTexts];
        detail::PoolEntry* entries[kGroupedTexts];
    };

    // As Flush, with the texts interned shard by shard; the cache admits and
    // keeps them in their order all the same. After a text that found no
    // memory, the references taken for the texts behind it go back.
    template <class Give>
    const Waiter* flushGrouped(PieceCache<T>& cache, Give give) noexcept {
        const unsigned count = m_count;
        m_count = 0;
        for (unsigned i = 0; i < count; ++i) {
            const Text& t = m_texts[i];
            const bool keep = cache.Admit(t.key, t.keyCount);
            m_grouped->pooled[i] =
                detail::GroupedText{t.units, t.unitCount, t.poolHash, keep ? 2 : 1};
        }
        detail::PoolEntry** const entries = m_grouped->entries;
        detail::InternGrouped(m_grouped->pooled, count, entries);
        for (unsigned i = 0; i < count; ++i) {
            const Text& t = m_texts[i];
            if (!entries[i]) {
                for (unsigned j = i + 1; j < count; ++j)
                    if (entries[j])
                        detail::PoolAccess::ReleaseMany(entries[j], m_grouped->pooled[j].refs);
                return &t.waiter;
            }
            if (m_grouped->pooled[i].refs == 2) cache.Keep(t.key, t.keyCount, entries[i]);
            give(t.waiter, detail::PoolAccess::Adopt(entries[i]));
        }
        return nullptr;
    }

    Text m_ownTexts[kTexts];
    Room m_ownRoom[kTexts];
    Text* m_texts = m_ownTexts;
    Room* m_room = m_ownRoom;
    unsigned m_capacity = kTexts;
    unsigned m_count = 0;
    Grouped* m_grouped = nullptr;
};

}  // namespace tqcore::parser
