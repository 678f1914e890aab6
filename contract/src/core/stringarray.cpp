#include <new>

#include "tqcore/pool.h"

namespace tqcore {

const tagCPOVTABL CPPoolStringArray::_vtbl = {
    &CPPoolStringArray::_create, &CPPoolStringArray::_clone, &CPPoolStringArray::_finalize};

void CPPoolStringArray::_create(void* storage, std::uint64_t bytes) {
    auto* s = static_cast<CPPoolString*>(storage);
    for (std::uint64_t i = 0; i < bytes / sizeof(CPPoolString); ++i) new (s + i) CPPoolString();
}

void CPPoolStringArray::_clone(void* target, const void* source, std::uint64_t bytes) {
    auto* t = static_cast<CPPoolString*>(target);
    auto* s = static_cast<const CPPoolString*>(source);
    for (std::uint64_t i = 0; i < bytes / sizeof(CPPoolString); ++i) new (t + i) CPPoolString(s[i]);
}

void CPPoolStringArray::_finalize(void* storage, std::uint64_t bytes) {
    auto* s = static_cast<CPPoolString*>(storage);
    for (std::uint64_t i = 0; i < bytes / sizeof(CPPoolString); ++i) s[i].~CPPoolString();
}

CPPoolStringArray::CPPoolStringArray(bool allowNull) : m_allowNull(allowNull) {}

bool CPPoolStringArray::Add(const CPPoolString& s) {
    if (s.isnull() && !m_allowNull) return false;
    constexpr std::uint64_t kItem = sizeof(CPPoolString);
    std::uint64_t used = m_mem.GetSize();
    if (!m_mem) {
        if (!m_mem.Prealloc(4 * kItem, &_vtbl)) return false;
    } else if (used + kItem > m_mem.GetAllocSize() && !m_mem.Incalloc(used)) {
        // Move to a block twice the size.
        CPObjectMemory bigger;
        if (!bigger.Prealloc(2 * used, &_vtbl)) return false;
        _clone(bigger, m_mem, used);
        bigger.SetSize(used);
        m_mem = bigger;
    }
    m_mem.SetSize(used + kItem);
    new (static_cast<char*>(static_cast<void*>(m_mem)) + used) CPPoolString(s);
    return true;
}

CPPoolString* CPPoolStringArray::GetArray(unsigned int& count) {
    count = static_cast<unsigned int>(m_mem.GetSize() / sizeof(CPPoolString));
    return count ? static_cast<CPPoolString*>(static_cast<void*>(m_mem)) : nullptr;
}

const CPPoolString* CPPoolStringArray::GetArray(unsigned int& count) const {
    count = static_cast<unsigned int>(m_mem.GetSize() / sizeof(CPPoolString));
    return count ? static_cast<const CPPoolString*>(static_cast<void*>(m_mem)) : nullptr;
}

void CPPoolStringArray::Free() {
    m_mem.free();
}

CPPoolStringArray::operator bool() const {
    return m_mem.GetSize() != 0;
}

}  // namespace tqcore
