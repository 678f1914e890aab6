#pragma once
// The parser's growable arrays: the open elements, their gathered children
// and the attributes of the tag being read. A node's list takes children and
// attributes over as they lie (its adopt), and growth moves every item as
// raw bytes, so items must be handles, pooled strings or records of them.
//
// A deep or wide document grows these arrays to the same size parse after
// parse, copying them at every doubling: each thread keeps the largest block
// of each kind that a parse let go (up to 4 MiB), and the next array of that
// kind starts from it.
#include <cstddef>
#include <new>
#include <utility>

#include "../xmlobj/kept_block.h"  // by this file's directory, for the tests too
#include "tqcore/heap.h"

namespace tqcore::parser {

template <class Item, std::size_t kFirstCapacity>
class RawItems {
  public:
    RawItems() = default;
    RawItems(const RawItems&) = delete;
    RawItems& operator=(const RawItems&) = delete;
    ~RawItems() {
        dropFrom(0);
        Kept::Offer(m_items, m_capacity * sizeof(Item), kMaxKeptBytes);
    }

    std::size_t size() const noexcept { return m_size; }
    Item* data() noexcept { return m_items; }
    const Item& operator[](std::size_t i) const noexcept { return m_items[i]; }
    Item& back() noexcept { return m_items[m_size - 1]; }

    // False, with the arguments untouched, when there is no room.
    template <class... Args>
    __attribute__((always_inline)) bool add(Args&&... args) noexcept {
        if (m_size == m_capacity && !grow()) return false;
        new (m_items + m_size++) Item{std::forward<Args>(args)...};
        return true;
    }
    // Room for `more` items beyond those held; false when there is none.
    bool reserve(std::size_t more) noexcept {
        while (m_capacity - m_size < more)
            if (!grow()) return false;
        return true;
    }
    // Destroys the items from `first` on.
    void dropFrom(std::size_t first) noexcept {
        while (m_size > first) m_items[--m_size].~Item();
    }
    // Forgets the items from `first` on, which a list has taken over.
    void forgetFrom(std::size_t first) noexcept { m_size = first; }

  private:
    // Out of line, so that an add stays small enough to inline.
    __attribute__((noinline)) bool grow() noexcept {
        if (m_capacity == 0) {
            std::size_t bytes;
            if (void* kept = Kept::Take(bytes)) {
                m_items = static_cast<Item*>(kept);
                m_capacity = bytes / sizeof(Item);
                return true;
            }
        }
        const std::size_t capacity = m_capacity ? 2 * m_capacity : kFirstCapacity;
        void* moved = _frealloc(m_items, capacity * sizeof(Item));
        if (!moved) return false;
        m_items = static_cast<Item*>(moved);
        m_capacity = capacity;
        return true;
    }

    static constexpr std::size_t kMaxKeptBytes = std::size_t{4} << 20;
    using Kept = detail::KeptBlock<RawItems>;

    Item* m_items = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

}  // namespace tqcore::parser
