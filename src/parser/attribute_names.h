#pragma once
// The names of the attributes of the tag being parsed, once it has many: the
// duplicate test of each further attribute is then one probe instead of a walk
// over the gathered attributes. Pooled names are unique, so their text
// addresses identify them.
#include <cstddef>
#include <cstdint>

#include "tqcore/heap.h"

namespace tqcore::parser {

class AttributeNameSet {
  public:
    // Below this many attributes a walk over the list is cheaper than a set.
    static constexpr unsigned int kFirstIndexed = 16;

    enum class Added { New, Duplicate, NoMemory };

    AttributeNameSet() = default;
    AttributeNameSet(const AttributeNameSet&) = delete;
    AttributeNameSet& operator=(const AttributeNameSet&) = delete;
    ~AttributeNameSet() { _ffree(m_slots); }

    // Forgets the names of the previous tag; keeps the table for the next.
    void clear() noexcept {
        if (m_count == 0) return;
        for (std::size_t i = 0; i <= m_mask; ++i) m_slots[i] = nullptr;
        m_count = 0;
    }

    Added add(const unsigned short* key) noexcept {
        if ((m_count + 1) * 2 > (m_slots ? m_mask + 1 : 0) && !grow()) return Added::NoMemory;
        std::size_t i = slotOf(key);
        while (m_slots[i]) {
            if (m_slots[i] == key) return Added::Duplicate;
            i = (i + 1) & m_mask;
        }
        m_slots[i] = key;
        ++m_count;
        return Added::New;
    }

  private:
    std::size_t slotOf(const unsigned short* key) const noexcept {
        const auto bits = reinterpret_cast<std::uintptr_t>(key);
        return static_cast<std::size_t>((bits >> 4) * 0x9E3779B97F4A7C15ull >> 20) & m_mask;
    }

    bool grow() noexcept {
        const std::size_t size = m_slots ? 2 * (m_mask + 1) : 64;
        auto* slots =
            static_cast<const unsigned short**>(_falloc(size * sizeof(const unsigned short*)));
        if (!slots) return false;
        for (std::size_t i = 0; i < size; ++i) slots[i] = nullptr;
        const unsigned short** old = m_slots;
        const std::size_t oldSize = old ? m_mask + 1 : 0;
        m_slots = slots;
        m_mask = size - 1;
        for (std::size_t i = 0; i < oldSize; ++i) {
            if (!old[i]) continue;
            std::size_t j = slotOf(old[i]);
            while (m_slots[j]) j = (j + 1) & m_mask;
            m_slots[j] = old[i];
        }
        _ffree(old);
        return true;
    }

    const unsigned short** m_slots = nullptr;
    std::size_t m_mask = 0;
    std::size_t m_count = 0;
};

}  // namespace tqcore::parser
