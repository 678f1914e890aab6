#include "xmlobj/string_table.h"

#include <new>

#include "tqcore/heap.h"

namespace tqcore::image {
namespace {

constexpr std::uint32_t kTableStep = 256;
constexpr std::uint32_t kFirstSlots = 1024;
// Ids stay below bit 31: a data id shares its field with the data flag.
constexpr std::uint32_t kIdLimit = 0x80000000u;

bool HoldsZeroUnit(const CPPoolString& s) noexcept {
    const unsigned short* text = s;
    for (unsigned int i = 0, n = s.len(); i < n; ++i)
        if (text[i] == 0) return true;
    return false;
}

}  // namespace

StringCollector::~StringCollector() {
    _ffree(m_pSlots);
}

std::uint32_t& StringCollector::slotOf(const CPPoolString& s) noexcept {
    std::uint32_t i = s.hash() & m_uMask;
    for (;;) {
        std::uint32_t& slot = m_pSlots[i];
        if (slot == 0 || m_table.m_pEntries[slot - 1].string == s) return slot;
        i = (i + 1) & m_uMask;
    }
}

bool StringCollector::growIndex() noexcept {
    const std::uint32_t slots = m_pSlots ? 2 * (m_uMask + 1) : kFirstSlots;
    auto* fresh = static_cast<std::uint32_t*>(_falloc(std::size_t{slots} * sizeof(std::uint32_t)));
    if (!fresh) return false;
    for (std::uint32_t i = 0; i < slots; ++i) fresh[i] = 0;
    _ffree(m_pSlots);
    m_pSlots = fresh;
    m_uMask = slots - 1;
    for (std::uint32_t i = 0; i < m_table.m_uCount; ++i)
        slotOf(m_table.m_pEntries[i].string) = i + 1;
    return true;
}

bool StringCollector::growTable() noexcept {
    // Entries move as bytes: a pooled string is a plain pointer.
    const std::uint32_t capacity = m_table.m_uCapacity + kTableStep;
    void* grown = _frealloc(m_table.m_pEntries, std::size_t{capacity} * sizeof(tagSTRINGID));
    if (!grown) return false;
    m_table.m_pEntries = static_cast<tagSTRINGID*>(grown);
    m_table.m_uCapacity = capacity;
    return true;
}

bool StringCollector::Add(const CPPoolString& text, std::uint32_t& id) noexcept {
    const CPPoolString& s = text.isnull() ? CPPoolString::pempty : text;
    // Half full at most, so probes stay short.
    if (2 * (m_table.m_uCount + 1) > m_uMask + 1 && !growIndex()) return false;
    std::uint32_t& slot = slotOf(s);
    if (slot != 0) {
        id = m_table.m_pEntries[slot - 1].id;
        return true;
    }
    if (m_table.m_uNextId >= kIdLimit || HoldsZeroUnit(s)) return false;
    if (m_table.m_uCount + 1 > m_table.m_uCapacity && !growTable()) return false;
    tagSTRINGID* entry = m_table.m_pEntries + m_table.m_uCount;
    new (entry) tagSTRINGID{m_table.m_uNextId, s};
    slot = ++m_table.m_uCount;
    id = m_table.m_uNextId++;
    return true;
}

void FreeTable(CXMLStringTable& table) noexcept {
    for (std::uint32_t i = 0; i < table.m_uCount; ++i) table.m_pEntries[i].~tagSTRINGID();
    _ffree(table.m_pEntries);
    table = CXMLStringTable{};
}

}  // namespace tqcore::image
