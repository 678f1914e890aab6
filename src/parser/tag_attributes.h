#pragma once
// The attributes of the tag being parsed. They gather here and the node
// takes them in one block when the tag ends, instead of growing its list
// attribute by attribute; once there are many, their names are also kept in
// a set, so that the duplicate test of each further one is one probe.
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

#include "tqcore/heap.h"
#include "tqcore/pool.h"
#include "tqxml/xmllists.h"

namespace tqcore::parser {

class GatheredAttributes {
  public:
    GatheredAttributes() = default;
    GatheredAttributes(const GatheredAttributes&) = delete;
    GatheredAttributes& operator=(const GatheredAttributes&) = delete;
    ~GatheredAttributes() {
        clear();
        _ffree(m_items);
        _ffree(m_names);
    }

    unsigned int count() const noexcept { return m_count; }
    CXMLAttribute* items() noexcept { return m_items; }
    // The text of the i-th name: pooled names are unique, so the address
    // identifies the name without touching its count.
    const unsigned short* name(unsigned int i) const noexcept { return m_names[i]; }
    bool has(const CPPoolString& name) const noexcept {
        const unsigned short* key = name;
        for (unsigned int i = 0; i < m_count; ++i)
            if (m_names[i] == key) return true;
        return false;
    }
    // False, with the strings left with the caller, when there is no room.
    bool add(CPPoolString&& name, CPPoolString&& value) noexcept {
        if (m_count == m_capacity && !grow()) return false;
        m_names[m_count] = name;
        new (m_items + m_count++) CXMLAttribute(std::move(name), std::move(value));
        return true;
    }
    void clear() noexcept {
        while (m_count) m_items[--m_count].~CXMLAttribute();
    }
    // After a list took the items over as raw bytes.
    void forgetAdopted() noexcept { m_count = 0; }

  private:
    // An attribute is two pooled-string pointers and moves as raw bytes.
    bool grow() noexcept {
        const std::size_t capacity = m_capacity ? 2 * m_capacity : 32;
        void* names = _frealloc(m_names, capacity * sizeof(const unsigned short*));
        if (!names) return false;
        m_names = static_cast<const unsigned short**>(names);
        void* items = _frealloc(m_items, capacity * sizeof(CXMLAttribute));
        if (!items) return false;
        m_items = static_cast<CXMLAttribute*>(items);
        m_capacity = capacity;
        return true;
    }

    CXMLAttribute* m_items = nullptr;
    const unsigned short** m_names = nullptr;
    unsigned int m_count = 0;
    std::size_t m_capacity = 0;
};

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
