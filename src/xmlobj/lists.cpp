// The attribute and child lists: items back to back in one shared
// object-memory block, and the block operations both lists build on.
#include <cstddef>
#include <cstring>
#include <new>
#include <utility>

#include "tqxml/xmlnode.h"
#include "xmlobj/body_release.h"
#include "xmlobj/short_copy.h"

namespace tqcore {
namespace {

// A block of `Item`s: the create, clone and finalise functions of its type
// table, its counts and the steps both lists take on it.
template <class Item>
struct ItemBlock {
    static constexpr std::uint64_t kItem = sizeof(Item);

    static Item* items(const CPObjectMemory& mem) noexcept {
        return static_cast<Item*>(static_cast<void*>(mem));
    }
    static unsigned int count(const CPObjectMemory& mem) noexcept {
        return static_cast<unsigned int>(mem.GetSize() / kItem);
    }
    static unsigned int capacity(const CPObjectMemory& mem) noexcept {
        return static_cast<unsigned int>(mem.GetAllocSize() / kItem);
    }

    static void create(void* storage, std::uint64_t bytes) {
        auto* to = static_cast<Item*>(storage);
        for (std::uint64_t i = 0, n = bytes / kItem; i < n; ++i) new (to + i) Item();
    }
    static void clone(void* target, const void* source, std::uint64_t bytes) {
        auto* to = static_cast<Item*>(target);
        const auto* from = static_cast<const Item*>(source);
        for (std::uint64_t i = 0, n = bytes / kItem; i < n; ++i) new (to + i) Item(from[i]);
    }
    static void finalize(void* storage, std::uint64_t bytes) {
        auto* at = static_cast<Item*>(storage);
        for (std::uint64_t i = 0, n = bytes / kItem; i < n; ++i) at[i].~Item();
    }

    // Removes one item; the block goes with the last one.
    static void remove(CPObjectMemory& mem, unsigned int index) {
        const unsigned int n = count(mem);
        if (index >= n) return;
        Item* at = items(mem);
        at[index].Free();
        std::memmove(static_cast<void*>(at + index), at + index + 1, (n - index - 1) * kItem);
        mem.SetSize((n - 1) * kItem);
        if (n == 1) mem.free();
    }
    // Takes over `n` items as raw bytes into a new block of `capacity` items.
    static bool adopt(CPObjectMemory& mem, Item* from, unsigned int n, std::uint64_t capacity,
                      const tagCPOVTABL* vtbl) noexcept {
        if (mem || capacity > 0xFFFFFFFFu || !mem.Prealloc(capacity * kItem, vtbl)) return false;
        detail::CopyShort(items(mem), from, n * kItem);
        mem.SetSize(n * kItem);
        return true;
    }
    static void addUsage(const CPObjectMemory& mem, std::uint64_t& used, std::uint64_t& spare) {
        if (!mem) return;
        used += mem.GetSize();
        spare += mem.GetAllocSize() - mem.GetSize();
    }
};

using Attributes = ItemBlock<CXMLAttribute>;
using Handles = ItemBlock<CXMLObject>;

// Puts the used items of `mem` into a new block of `allocBytes` typed by
// `vtbl` and holds that instead. Items are copied through the table, or moved
// as raw bytes when `moveWhenSole` and nobody else holds the old block (the
// same end state without touching every item's count).
// False, with `mem` unchanged, when the new block cannot be had.
bool ReplaceBlock(CPObjectMemory& mem, std::uint64_t allocBytes, const tagCPOVTABL* vtbl,
                  bool moveWhenSole) {
    const std::uint64_t used = mem.GetSize();
    CPObjectMemory block;
    if (!block.Prealloc(allocBytes, vtbl)) return false;
    void* to = block;
    const void* from = mem;
    if (moveWhenSole && mem.GetHolders() == 1) {
        if (used) std::memcpy(to, from, static_cast<std::size_t>(used));
        mem.SetSize(0);  // the old block goes without finalizing what moved
    } else if (used) {
        vtbl->pfnClone(to, from, used);
    }
    block.SetSize(used);
    mem = std::move(block);
    return true;
}

// Drops the spare room of a block.
bool ShrinkBlock(CPObjectMemory& mem, const tagCPOVTABL* vtbl) {
    if (!mem || mem.GetSize() >= mem.GetAllocSize()) return true;
    return ReplaceBlock(mem, mem.GetSize(), vtbl, true);
}

// Attributes grow 1, 2, 3, 4 items one by one, then 4 at a time.
constexpr unsigned int kAttributeStepsSteady = 4;  // the capacity from which steps stay the same
unsigned int AttributeGrowthStep(unsigned int capacity) {
    return capacity < 4 ? 1 : 4;
}

// Child capacities run 1, 2, 3, 4, 8, 16, 24, 32, 40, 296, 552, ...
constexpr unsigned int kChildStepsSteady = 40;
unsigned int ChildGrowthStep(unsigned int capacity) {
    if (capacity < 4) return 1;
    if (capacity < 8) return 8 - capacity;
    if (capacity < 40) return 8;
    return 256;
}

// The capacity that adding `n` (1 or more) items one by one to an empty list
// reaches, when `step` gives the growth at each capacity and is constant from
// `steady` on.
std::uint64_t CapacityFor(std::uint64_t n, unsigned int (*step)(unsigned int),
                          unsigned int steady) {
    std::uint64_t cap = 1;
    while (cap < n && cap < steady) cap += step(static_cast<unsigned int>(cap));
    if (cap < n) {
        const unsigned int last = step(steady);
        cap += (n - cap + last - 1) / last * last;
    }
    return cap;
}

}  // namespace

// Attributes.

const tagCPOVTABL CXMLAttribList::_vtbl = {&CXMLAttribList::_create, &CXMLAttribList::_clone,
                                           &CXMLAttribList::_finalize};

void CXMLAttribList::_create(void* storage, std::uint64_t bytes) {
    Attributes::create(storage, bytes);
}

void CXMLAttribList::_clone(void* target, const void* source, std::uint64_t bytes) {
    Attributes::clone(target, source, bytes);
}

void CXMLAttribList::_finalize(void* storage, std::uint64_t bytes) {
    // The drops fetch their texts ahead of reading them.
    auto* at = static_cast<CXMLAttribute*>(storage);
    const std::uint64_t n = bytes / Attributes::kItem;
    for (std::uint64_t i = 0; i < n; ++i) {
        detail::PoolAccess::Drop(at[i].m_Value);
        detail::PoolAccess::Drop(at[i].m_Name);
    }
}

unsigned int CXMLAttribList::count() const noexcept {
    return Attributes::count(m_mem);
}

unsigned int CXMLAttribList::capacity() const noexcept {
    return Attributes::capacity(m_mem);
}

CXMLAttribute* CXMLAttribList::GetArray(unsigned int& n) {
    n = count();
    return Attributes::items(m_mem);
}

const CXMLAttribute* CXMLAttribList::GetArray(unsigned int& n) const {
    n = count();
    return Attributes::items(m_mem);
}

bool CXMLAttribList::Prealloc(unsigned int n) {
    return !m_mem && m_mem.Prealloc(n * Attributes::kItem, &_vtbl);
}

bool CXMLAttribList::moveToBlock(unsigned int newCapacity) {
    return ReplaceBlock(m_mem, newCapacity * Attributes::kItem, &_vtbl, true);
}

bool CXMLAttribList::adopt(CXMLAttribute* from, unsigned int n) noexcept {
    return Attributes::adopt(m_mem, from, n,
                             CapacityFor(n, AttributeGrowthStep, kAttributeStepsSteady), &_vtbl);
}

bool CXMLAttribList::Add(const CPPoolString& name, const CPPoolString& value) {
    return Add(CPPoolString(name), CPPoolString(value));
}

bool CXMLAttribList::Add(CPPoolString&& name, CPPoolString&& value) {
    const unsigned int n = count();
    const unsigned int cap = capacity();
    if (n + 1 > cap) {
        if (cap == 0) {
            if (!m_mem.Prealloc(Attributes::kItem, &_vtbl)) return false;
        } else if (!m_mem.Incalloc(AttributeGrowthStep(cap) * Attributes::kItem)) {
            // The pair may lie in the block that is about to move.
            CXMLAttribute keep(std::move(name), std::move(value));
            if (!moveToBlock(cap + AttributeGrowthStep(cap))) return false;
            m_mem.SetSize((n + 1) * Attributes::kItem);
            new (Attributes::items(m_mem) + n) CXMLAttribute(keep);
            return true;
        }
    }
    m_mem.SetSize((n + 1) * Attributes::kItem);
    new (Attributes::items(m_mem) + n) CXMLAttribute(std::move(name), std::move(value));
    return true;
}

bool CXMLAttribList::Delete(unsigned int index) {
    Attributes::remove(m_mem, index);
    return true;
}

bool CXMLAttribList::Compact() {
    return ShrinkBlock(m_mem, &_vtbl);
}

void CXMLAttribList::GetMemUsage(std::uint64_t& used, std::uint64_t& spare) const {
    Attributes::addUsage(m_mem, used, spare);
}

// Child elements.

const tagCPOVTABL CXMLObjectList::_vtbl = {&CXMLObjectList::_create, &CXMLObjectList::_clone,
                                           &CXMLObjectList::_finalize};

void CXMLObjectList::_create(void* storage, std::uint64_t bytes) {
    Handles::create(storage, bytes);
}

void CXMLObjectList::_clone(void* target, const void* source, std::uint64_t bytes) {
    Handles::clone(target, source, bytes);
}

void CXMLObjectList::_finalize(void* storage, std::uint64_t bytes) {
    // A release writes its body's count, then reads its lists: fetch the
    // bodies ahead, and the lists of those fetched before. Short lists, most
    // of a tree's, get their bodies fetched all at once.
    constexpr auto release = [](CXMLObject* at, std::size_t n) noexcept {
        constexpr std::size_t kAhead = 8;
        for (std::size_t i = 0; i < n && i < kAhead; ++i) __builtin_prefetch(at[i].m_pO, 1);
        for (std::size_t i = 0; i < n; ++i) {
            if (i + kAhead < n) __builtin_prefetch(at[i + kAhead].m_pO, 1);
            if (i + kAhead / 2 < n)
                if (const CXMLObjectBody* body = at[i + kAhead / 2].m_pO)
                    xmlobj::PrefetchLists(body);
            at[i].~CXMLObject();
        }
    };
    auto* at = static_cast<CXMLObject*>(storage);
    std::size_t n = bytes / Handles::kItem;
    // A lone child has nothing to fetch ahead of.
    if (n == 1) {
        at[0].~CXMLObject();
        return;
    }
    // A long list built in halves gives its second half to the second
    // thread, when that is free.
    constexpr std::size_t kHandOffLeast = 1024;
    if (n >= kHandOffLeast && xmlobj::ForgetBuiltInHalves(at)) {
        const std::size_t kept = n / 2;
        if (CXMLObject* room = xmlobj::HandOffRoom(n - kept)) {
            for (std::size_t i = kept; i < n; ++i)
                new (room + (i - kept)) CXMLObject(std::move(at[i]));
            xmlobj::StartHandOff(release);
            n = kept;
        }
    }
    release(at, n);
}

unsigned int CXMLObjectList::count() const noexcept {
    return Handles::count(m_mem);
}

unsigned int CXMLObjectList::capacity() const noexcept {
    return Handles::capacity(m_mem);
}

CXMLObject* CXMLObjectList::GetArray(unsigned int& n) {
    n = count();
    return n ? Handles::items(m_mem) : nullptr;
}

const CXMLObject* CXMLObjectList::GetArray(unsigned int& n) const {
    n = count();
    return n ? Handles::items(m_mem) : nullptr;
}

bool CXMLObjectList::Prealloc(unsigned int n) {
    return !m_mem && m_mem.Prealloc(n * Handles::kItem, &_vtbl);
}

bool CXMLObjectList::growByOne() {
    const unsigned int cap = capacity();
    if (count() + 1 <= cap) return true;
    if (cap == 0) return m_mem.Prealloc(Handles::kItem, &_vtbl);
    const unsigned int step = ChildGrowthStep(cap);
    return m_mem.Incalloc(step * Handles::kItem) ||
           ReplaceBlock(m_mem, (cap + step) * Handles::kItem, &_vtbl, true);
}

bool CXMLObjectList::growTo(std::uint64_t total) {
    const unsigned int cap = capacity();
    if (total <= cap) return true;
    if (total > 0xFFFFFFFFu) return false;
    return m_mem.Incalloc((total - cap) * Handles::kItem) ||
           ReplaceBlock(m_mem, total * Handles::kItem, &_vtbl, true);
}

bool CXMLObjectList::adopt(CXMLObject* from, unsigned int n) noexcept {
    return Handles::adopt(m_mem, from, n, CapacityFor(n, ChildGrowthStep, kChildStepsSteady),
                          &_vtbl);
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
    m_mem.SetSize((n + 1) * Handles::kItem);
    CXMLObject* handles = Handles::items(m_mem);
    std::memmove(static_cast<void*>(handles + at + 1), handles + at, (n - at) * Handles::kItem);
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
    m_mem.SetSize((n + more) * Handles::kItem);
    if (more)
        _clone(Handles::items(m_mem) + n, Handles::items(source.m_mem), more * Handles::kItem);
    return true;
}

bool CXMLObjectList::Delete(unsigned int index) {
    Handles::remove(m_mem, index);
    return true;
}

bool CXMLObjectList::shrinkBlock() {
    return ShrinkBlock(m_mem, &_vtbl);
}

bool CXMLObjectList::makeBlockPrivate() {
    if (!m_mem || m_mem.GetHolders() <= 1) return true;
    return ReplaceBlock(m_mem, m_mem.GetSize(), &_vtbl, false);
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
