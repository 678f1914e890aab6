#pragma once
// The two lists of a node body: attributes and child elements. Each keeps
// its items back to back in one shared object-memory block.
#include <cstdint>
#include <utility>

#include "tqcore/objmem.h"
#include "tqcore/pool.h"
#include "tqxml/export.h"
#include "tqxml/xmlret.h"

namespace tqcore {

class CXMLObject;

// A name and value pair; both strings are shared on copy.
class TQXML_API CXMLAttribute {
  public:
    CXMLAttribute() noexcept = default;
    CXMLAttribute(CPPoolString name, CPPoolString value) noexcept
        : m_Name(std::move(name)), m_Value(std::move(value)) {}
    CXMLAttribute(const CXMLAttribute&) noexcept = default;
    CXMLAttribute& operator=(const CXMLAttribute&) noexcept = default;
    ~CXMLAttribute() = default;  // members go in reverse: value, then name

    void Free() noexcept {
        m_Name.Free();
        m_Value.Free();
    }
    CPPoolString GetName() const noexcept { return m_Name; }
    CPPoolString GetValue() const noexcept { return m_Value; }
    void Set(const CPPoolString& name, const CPPoolString& value) noexcept {
        m_Name = name;
        m_Value = value;
    }

  private:
    friend class CXMLObject;
    friend class CXMLAttribList;
    CPPoolString m_Name;
    CPPoolString m_Value;
};

class TQXML_API CXMLAttribList {
  public:
    CXMLAttribList() noexcept = default;
    CXMLAttribList(const CXMLAttribList&) noexcept = default;
    CXMLAttribList& operator=(const CXMLAttribList&) noexcept = default;
    ~CXMLAttribList() = default;

    CXMLAttribute* GetArray(unsigned int& count);
    const CXMLAttribute* GetArray(unsigned int& count) const;
    // Only on a list without a block.
    bool Prealloc(unsigned int n);
    // Appends without checking the name; the second form takes the strings over.
    bool Add(const CPPoolString& name, const CPPoolString& value);
    bool Add(CPPoolString&& name, CPPoolString&& value);
    bool Delete(unsigned int index);
    bool Compact();
    void GetMemUsage(std::uint64_t& used, std::uint64_t& spare) const;
    // The list holds a storage block (it may hold no items).
    bool HasBlock() const noexcept { return static_cast<bool>(m_mem); }
    // Starts fetching the storage block, for a caller that will soon read
    // or release the list.
    void Prefetch() const noexcept { m_mem.Prefetch(); }

    static const void* GetTypeID() noexcept { return &_vtbl; }
    static const tagCPOVTABL _vtbl;

  private:
    friend class CXMLObject;
    static void _create(void* storage, std::uint64_t bytes);
    static void _clone(void* target, const void* source, std::uint64_t bytes);
    static void _finalize(void* storage, std::uint64_t bytes);

    unsigned int count() const noexcept;
    unsigned int capacity() const noexcept;
    bool moveToBlock(unsigned int capacity);
    // As CXMLObjectList::adopt, for the attributes of a tag.
    bool adopt(CXMLAttribute* from, unsigned int n) noexcept;

    CPObjectMemory m_mem;
};

class TQXML_API CXMLObjectList {
  public:
    CXMLObjectList() noexcept = default;
    CXMLObjectList(const CXMLObjectList&) noexcept = default;
    CXMLObjectList& operator=(const CXMLObjectList&) noexcept = default;
    ~CXMLObjectList() = default;

    CXMLObject* GetArray(unsigned int& count);
    const CXMLObject* GetArray(unsigned int& count) const;
    // A null `o` is appended as a null handle.
    xmlret Add(const CXMLObject& o);
    bool Add(const CXMLObjectList& other);
    xmlret Insert(const CXMLObject& o, unsigned int index);
    // Only on a list without a block.
    bool Prealloc(unsigned int n);
    bool Delete(unsigned int index);
    bool Compact();
    bool Realloc();
    void GetMemUsage(std::uint64_t& used, std::uint64_t& spare) const;
    // The list holds a storage block (it may hold no items).
    bool HasBlock() const noexcept { return static_cast<bool>(m_mem); }
    // Starts fetching the storage block, for a caller that will soon read
    // or release the list.
    void Prefetch() const noexcept { m_mem.Prefetch(); }

    static const void* GetTypeID() noexcept { return &_vtbl; }
    static const tagCPOVTABL _vtbl;

  private:
    friend class CXMLObject;
    static void _create(void* storage, std::uint64_t bytes);
    static void _clone(void* target, const void* source, std::uint64_t bytes);
    static void _finalize(void* storage, std::uint64_t bytes);

    unsigned int count() const noexcept;
    unsigned int capacity() const noexcept;
    bool growByOne();
    bool growTo(std::uint64_t total);
    // Only on a list without a block: takes over `n` handles as raw bytes,
    // in a block of the capacity that adding them one by one would reach.
    // The handles at `from` are then this list's; false leaves them there.
    bool adopt(CXMLObject* from, unsigned int n) noexcept;
    // The block steps of Compact and Realloc, without touching the children.
    bool shrinkBlock();
    bool makeBlockPrivate();

    CPObjectMemory m_mem;
};

}  // namespace tqcore
