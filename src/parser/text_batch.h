#pragma once
// Short texts the piece cache does not hold yet (most data values and many
// attribute values are new to the pool) wait in a batch: each one's pool
// slot is fetched when the text is found, and the texts are interned only
// when the batch is full or the parse ends, so that their cache misses
// overlap instead of following one another. Each text carries a `Waiter`,
// the parser's note of where its string goes and what to report if it
// cannot be pooled; nobody sees the tree before the last batch is in.
#include <cstddef>
#include <cstdint>

#include "piece_cache.h"  // by its own directory, for the tests too
#include "tqcore/pool.h"
#include "unit_traits.h"

namespace tqcore::parser {

template <class T, class Waiter>
class TextBatch {
  public:
    static constexpr unsigned kTexts = 32;
    // Longer texts are no cache's, and their own length hides their miss.
    static constexpr std::size_t kLongest = PieceCache<T>::kLongestCached;

    bool Full() const noexcept { return m_count == kTexts; }

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

    struct Text {
        const T* key;
        const unsigned short* units;
        std::uint32_t keyCount;
        std::uint32_t unitCount;
        std::uint32_t poolHash;
        Waiter waiter;
    };

    Text m_texts[kTexts];
    unsigned m_count = 0;
    // Narrow texts widened, one unit per byte at most.
    unsigned short m_room[kTexts][kLongest];
};

}  // namespace tqcore::parser
