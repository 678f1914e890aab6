#include <cstring>
#include <new>

#include "tqxml/xmllists.h"
#include "xmlobj/block_ops.h"

namespace tqcore {
namespace {

constexpr std::uint64_t kItem = sizeof(CXMLAttribute);

// 1, 2, 3, 4 items one by one, then 4 at a time.
unsigned int GrowthStep(unsigned int capacity) {
    return capacity < 4 ? 1 : 4;
}

CXMLAttribute* Items(const CPObjectMemory& mem) {
    return static_cast<CXMLAttribute*>(static_cast<void*>(mem));
}

}  // namespace

const tagCPOVTABL CXMLAttribList::_vtbl = {&CXMLAttribList::_create, &CXMLAttribList::_clone,
                                           &CXMLAttribList::_finalize};

void CXMLAttribList::_create(void* storage, std::uint64_t bytes) {
    auto* items = static_cast<CXMLAttribute*>(storage);
    for (std::uint64_t i = 0, n = bytes / kItem; i < n; ++i) new (items + i) CXMLAttribute();
}

void CXMLAttribList::_clone(void* target, const void* source, std::uint64_t bytes) {
    auto* to = static_cast<CXMLAttribute*>(target);
    const auto* from = static_cast<const CXMLAttribute*>(source);
    for (std::uint64_t i = 0, n = bytes / kItem; i < n; ++i) new (to + i) CXMLAttribute(from[i]);
}

void CXMLAttribList::_finalize(void* storage, std::uint64_t bytes) {
    auto* items = static_cast<CXMLAttribute*>(storage);
    for (std::uint64_t i = 0, n = bytes / kItem; i < n; ++i) items[i].~CXMLAttribute();
}

unsigned int CXMLAttribList::count() const noexcept {
    return static_cast<unsigned int>(m_mem.GetSize() / kItem);
}

unsigned int CXMLAttribList::capacity() const noexcept {
    return static_cast<unsigned int>(m_mem.GetAllocSize() / kItem);
}

CXMLAttribute* CXMLAttribList::GetArray(unsigned int& n) {
    n = count();
    return Items(m_mem);
}

const CXMLAttribute* CXMLAttribList::GetArray(unsigned int& n) const {
    n = count();
    return Items(m_mem);
}

bool CXMLAttribList::Prealloc(unsigned int n) {
    return !m_mem && m_mem.Prealloc(n * kItem, &_vtbl);
}

bool CXMLAttribList::moveToBlock(unsigned int newCapacity) {
    return detail::ReplaceBlock(m_mem, newCapacity * kItem, &_vtbl, true);
}

bool CXMLAttribList::Add(const CPPoolString& name, const CPPoolString& value) {
    const unsigned int n = count();
    const unsigned int cap = capacity();
    if (n + 1 > cap) {
        if (cap == 0) {
            if (!m_mem.Prealloc(kItem, &_vtbl)) return false;
        } else if (!m_mem.Incalloc(GrowthStep(cap) * kItem)) {
            // The pair may lie in the block that is about to move.
            CXMLAttribute keep(name, value);
            if (!moveToBlock(cap + GrowthStep(cap))) return false;
            m_mem.SetSize((n + 1) * kItem);
            new (Items(m_mem) + n) CXMLAttribute(keep);
            return true;
        }
    }
    m_mem.SetSize((n + 1) * kItem);
    new (Items(m_mem) + n) CXMLAttribute(name, value);
    return true;
}

bool CXMLAttribList::Delete(unsigned int index) {
    const unsigned int n = count();
    if (index >= n) return true;
    CXMLAttribute* items = Items(m_mem);
    items[index].Free();
    std::memmove(static_cast<void*>(items + index), items + index + 1, (n - index - 1) * kItem);
    m_mem.SetSize((n - 1) * kItem);
    if (n == 1) m_mem.free();
    return true;
}

bool CXMLAttribList::Compact() {
    if (!m_mem || m_mem.GetSize() >= m_mem.GetAllocSize()) return true;
    return detail::ReplaceBlock(m_mem, m_mem.GetSize(), &_vtbl, true);
}

void CXMLAttribList::GetMemUsage(std::uint64_t& used, std::uint64_t& spare) const {
    if (!m_mem) return;
    used += m_mem.GetSize();
    spare += m_mem.GetAllocSize() - m_mem.GetSize();
}

}  // namespace tqcore
