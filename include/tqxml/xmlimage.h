#pragma once
// Binary images of node trees: the string table shared by the writer, the
// reader and packed objects, the allocator over one CPMemory, and the packed
// object that keeps a tree as image records.
#include <atomic>
#include <cstdint>

#include "tqcore/heap.h"
#include "tqcore/memory.h"
#include "tqcore/pool.h"
#include "tqxml/export.h"
#include "tqxml/xmlnode.h"

namespace tqcore {

// One string of an image's string table.
struct tagSTRINGID {
    std::uint32_t id;
    CPPoolString string;
};

// Every distinct string of a tree. Once a tree has been written, entry i
// holds id i.
struct CXMLStringTable {
    std::uint32_t m_uNextId;    // the id the next new string receives
    tagSTRINGID* m_pEntries;    // from _falloc, or null
    std::uint32_t m_uCount;     // entries in use
    std::uint32_t m_uCapacity;  // entries allocated
};

// Allocates an image as the one block of a CPMemory.
class TQXML_API CMemoryNewDelete : public Inewdelete {
  public:
    explicit CMemoryNewDelete(CPMemory& mem) noexcept : m_mem(mem) {}
    // The memory's new block of `size` bytes, or null.
    void* New(std::uint64_t size) override;
    // Frees the memory when `block` is its block; anything else is left alone.
    void Delete(void* block) override;

  private:
    CPMemory& m_mem;
};

struct CxmpobjectBody {
    std::atomic<std::int32_t> m_lRefCnt;  // handles on this body; changed only atomically
    CXMLStringTable m_Table;
    CPMemory m_Records;  // node and attribute records, as in an image after its strings
};

// A tree kept packed: image records and their strings in one shared,
// immutable body. Unpacking gives a new, independent tree.
class TQXML_API Cxmpobject {
  public:
    Cxmpobject() noexcept : m_pO(nullptr) {}
    Cxmpobject(const Cxmpobject& o) noexcept;
    // Packs `tree`; empty when that fails.
    Cxmpobject(const CXMLObject& tree);
    ~Cxmpobject() { _decrement(); }

    Cxmpobject& operator=(const Cxmpobject& o) noexcept;
    // Packs `tree` into a new body; the handle stays empty when that fails.
    Cxmpobject& operator=(const CXMLObject& tree);

    explicit operator bool() const noexcept { return m_pO != nullptr; }
    // A new tree from the records; an empty handle when empty or on failure.
    operator CXMLObject() const;
    void Free() noexcept;

    // Bytes of the body, its records and its table (the pooled texts are
    // shared with the rest of the process and not counted).
    void GetMemUsage(std::uint64_t& used, std::uint64_t& spare) const noexcept;

  private:
    friend struct CxmpobjectTestAccess;  // unit tests break the count on purpose
    void _decrement() noexcept;

    CxmpobjectBody* m_pO;
};
static_assert(sizeof(Cxmpobject) == sizeof(void*), "a packed handle is one pointer");

// Packed bodies alive in the process, for leak checks.
TQXML_API std::int64_t GetXmpObjectBodyCount() noexcept;

}  // namespace tqcore
