#pragma once
// The string table of an image being written: ids in order of first
// appearance, each distinct pooled string once.
#include <cstdint>

#include "tqxml/xmlimage.h"

namespace tqcore::image {

// Fills a table while a tree is walked. Entries are appended in id order, so
// entry i holds id i at every moment; strings seen before are found through
// a hash index on the pooled string's identity that lives only as long as
// the collector (a sorted table would cost a move of half the entries for
// every new string).
class StringCollector {
  public:
    explicit StringCollector(CXMLStringTable& table) noexcept : m_table(table) {}
    ~StringCollector();
    StringCollector(const StringCollector&) = delete;
    StringCollector& operator=(const StringCollector&) = delete;

    // The id of `s` (a null string counts as the empty one). False when
    // memory runs out, the ids would reach bit 31 (where a data id could not
    // be told from a child count), or `s` holds a zero unit, which a
    // zero-terminated string of the image cannot carry.
    bool Add(const CPPoolString& s, std::uint32_t& id) noexcept;

  private:
    bool growTable() noexcept;
    bool growIndex() noexcept;
    // The index slot of `s`: either the one that holds it or a free one.
    std::uint32_t& slotOf(const CPPoolString& s) noexcept;

    CXMLStringTable& m_table;
    std::uint32_t* m_pSlots = nullptr;  // entry index + 1; 0 is free
    std::uint32_t m_uMask = 0;          // slot count - 1 (a power of two)
};

// Destroys the pooled strings in use and releases the entries block; the
// table is empty afterwards.
void FreeTable(CXMLStringTable& table) noexcept;

}  // namespace tqcore::image
