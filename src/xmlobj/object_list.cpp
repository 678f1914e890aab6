#include <cstring>
#include <new>

#include "tqxml/xmlnode.h"
#include "xmlobj/block_ops.h"

namespace tqcore {
namespace {

constexpr std::uint64_t kHandle = sizeof(CXMLObject);

// Capacities run 1, 2, 3, 4, 8, 16, 24, 32, 40, 296, 552, ...
unsigned int GrowthStep(unsigned int capacity) {
    if (capacity < 4) return 1;
    if (capacity < 8) return 8 - capacity;
    if (capacity < 40) return 8;
    return 256;
}

CXMLObject* Handles(const CPObjectMemory& mem) {
    return static_cast<CXMLObject*>(static_cast<void*>(mem));
}

}  // namespace

const tagCPOVTABL CXMLObjectList::_vtbl = {&CXMLObjectList::_create, &CXMLObjectList::_clone,
                                           &CXMLObjectList::_finalize};

void CXMLObjectList::_create(void* storage, std::uint64_t bytes) {
    auto* handles = static_cast<CXMLObject*>(storage);
    for (std::uint64_t i = 0, n = bytes / kHandle; i < n; ++i) new (handles + i) CXMLObject();
}

void CXMLObjectList::_clone(void* target, const void* source, std::uint64_t bytes) {
    auto* to = static_cast<CXMLObject*>(target);
    const auto* from = static_cast<const CXMLObject*>(source);
    for (std::uint64_t i = 0, n = bytes / kHandle; i < n; ++i) new (to + i) CXMLObject(from[i]);
}

void CXMLObjectList::_finalize(void* storage, std::uint64_t bytes) {
    auto* handles = static_cast<CXMLObject*>(storage);
    for (std::uint64_t i = 0, n = bytes / kHandle; i < n; ++i) handles[i].~CXMLObject();
}

unsigned int CXMLObjectList::count() const noexcept {
    return static_cast<unsigned int>(m_mem.GetSize() / kHandle);
}

unsigned int CXMLObjectList::capacity() const noexcept {
    return static_cast<unsigned int>(m_mem.GetAllocSize() / kHandle);
}

CXMLObject* CXMLObjectList::GetArray(unsigned int& n) {
    n = count();
    return n ? Handles(m_mem) : nullptr;
}

const CXMLObject* CXMLObjectList::GetArray(unsigned int& n) const {
    n = count();
    return n ? Handles(m_mem) : nullptr;
}

bool CXMLObjectList::Prealloc(unsigned int n) {
    return !m_mem && m_mem.Prealloc(n * kHandle, &_vtbl);
}

bool CXMLObjectList::growByOne() {
    const unsigned int cap = capacity();
    if (count() + 1 <= cap) return true;
    if (cap == 0) return m_mem.Prealloc(kHandle, &_vtbl);
    const unsigned int step = GrowthStep(cap);
    return m_mem.Incalloc(step * kHandle) ||
           detail::ReplaceBlock(m_mem, (cap + step) * kHandle, &_vtbl, true);
}

bool CXMLObjectList::growTo(std::uint64_t total) {
    const unsigned int cap = capacity();
    if (total <= cap) return true;
    if (total > 0xFFFFFFFFu) return false;
    return m_mem.Incalloc((total - cap) * kHandle) ||
           detail::ReplaceBlock(m_mem, total * kHandle, &_vtbl, true);
}

xmlret CXMLObjectList::Add(const CXMLObject& o) {
    return Insert(o, 0xFFFFFFFFu);
}

xmlret CXMLObjectList::Insert(const CXMLObject& o, unsigned int index) {
    // Taken before growth: `o` may lie in the block that moves, while its
    // body stays held by the block's copy.
    CXMLObjectBody* body = o.m_pO;
    const unsigned int n = count();
    const unsigned int at = index < n ? index : n;
    if (!growByOne()) return xmlret();
    m_mem.SetSize((n + 1) * kHandle);
    CXMLObject* handles = Handles(m_mem);
    std::memmove(static_cast<void*>(handles + at + 1), handles + at, (n - at) * kHandle);
    CXMLObject* slot = new (handles + at) CXMLObject();
    slot->m_pO = body;
    slot->addRef();
    return xmlret(at);
}

bool CXMLObjectList::Add(const CXMLObjectList& other) {
    if (!other.m_mem) return true;
    if (!m_mem) {
        m_mem = other.m_mem;
        return true;
    }
    const CXMLObjectList source(other);  // keeps the items alive if this block moves
    const unsigned int n = count();
    const unsigned int more = source.count();
    if (!growTo(std::uint64_t(n) + more)) return false;
    m_mem.SetSize((n + more) * kHandle);
    if (more) _clone(Handles(m_mem) + n, Handles(source.m_mem), more * kHandle);
    return true;
}

bool CXMLObjectList::Delete(unsigned int index) {
    const unsigned int n = count();
    if (index >= n) return true;
    CXMLObject* handles = Handles(m_mem);
    handles[index].Free();
    std::memmove(static_cast<void*>(handles + index), handles + index + 1,
                 (n - index - 1) * kHandle);
    m_mem.SetSize((n - 1) * kHandle);
    if (n == 1) m_mem.free();
    return true;
}

bool CXMLObjectList::shrinkBlock() {
    if (!m_mem || m_mem.GetSize() >= m_mem.GetAllocSize()) return true;
    return detail::ReplaceBlock(m_mem, m_mem.GetSize(), &_vtbl, true);
}

bool CXMLObjectList::makeBlockPrivate() {
    if (!m_mem || m_mem.GetHolders() <= 1) return true;
    return detail::ReplaceBlock(m_mem, m_mem.GetSize(), &_vtbl, false);
}

bool CXMLObjectList::Compact() {
    if (!shrinkBlock()) return false;
    unsigned int n;
    CXMLObject* handles = GetArray(n);
    for (unsigned int i = 0; i < n; ++i) handles[i].Compact();
    return true;
}

bool CXMLObjectList::Realloc() {
    if (!makeBlockPrivate()) return false;
    unsigned int n;
    CXMLObject* handles = GetArray(n);
    for (unsigned int i = 0; i < n; ++i) handles[i].Realloc();
    return true;
}

void CXMLObjectList::GetMemUsage(std::uint64_t& used, std::uint64_t& spare) const {
    if (!m_mem) return;
    unsigned int n;
    const CXMLObject* handles = GetArray(n);
    for (unsigned int i = 0; i < n; ++i) handles[i].GetMemUsage(used, spare);
    spare += m_mem.GetAllocSize() - m_mem.GetSize();
}

}  // namespace tqcore
