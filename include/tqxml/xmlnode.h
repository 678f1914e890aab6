#pragma once
// The node handle CXMLObject and its shared, reference-counted body.
#include <atomic>
#include <cstdint>

#include "tqcore/pool.h"
#include "tqcore/times.h"
#include "tqxml/export.h"
#include "tqxml/xmllists.h"
#include "tqxml/xmlret.h"

namespace tqcore {

class CXMLOut;

// Node types: bit 1 = has child elements, bit 2 = has data.
constexpr unsigned int CXML_TYPE_EMPTY = 0;
constexpr unsigned int CXML_TYPE_ELEMENT = 1;
constexpr unsigned int CXML_TYPE_DATA = 2;
constexpr unsigned int CXML_TYPE_PROCESS = 3;

// The type names, indexed by the type value.
TQXML_API extern const unsigned short* const CXML_TYPE_NAMES[4];

struct CXMLObjectBody {
    std::atomic<std::int32_t> m_lRefCnt;  // handles on this body; changed only atomically
    CPPoolString m_Name;
    std::uint32_t m_uType;
    CXMLAttribList m_Attribs;
    CXMLObjectList m_Elements;
    CPPoolString m_Data;

    CXMLObjectBody(const CPPoolString& name, std::uint32_t type) noexcept
        : m_lRefCnt(1), m_Name(name), m_uType(type) {}
};

class TQXML_API CXMLObject {
  public:
    CXMLObject() noexcept : m_pO(nullptr) {}
    CXMLObject(const CXMLObject& o) noexcept : m_pO(o.m_pO) { addRef(); }
    CXMLObject(CXMLObject&& o) noexcept : m_pO(o.m_pO) { o.m_pO = nullptr; }
    // A new empty node; the name is not validated.
    explicit CXMLObject(const CPPoolString& name);
    ~CXMLObject() { release(m_pO); }

    CXMLObject& operator=(const CXMLObject& o) noexcept {
        if (m_pO != o.m_pO) {
            CXMLObjectBody* old = m_pO;
            m_pO = o.m_pO;
            addRef();
            release(old);
        }
        return *this;
    }
    CXMLObject& operator=(CXMLObject&& o) noexcept {
        if (this != &o) {
            CXMLObjectBody* old = m_pO;
            m_pO = o.m_pO;
            o.m_pO = nullptr;
            release(old);
        }
        return *this;
    }

    explicit operator bool() const noexcept { return m_pO != nullptr; }

    // Whole node.
    void Free() noexcept;
    void Reset() noexcept;
    bool Realloc();
    void Reassign(const CXMLObject& o);
    bool Compact();
    void GetMemUsage(std::uint64_t& used, std::uint64_t& spare) const;
    CPPoolString GetName() const noexcept;
    unsigned int GetType() const noexcept;
    bool IsDefault() const noexcept;
    bool IsNamedDefault() const noexcept;
    bool IsName(const CPPoolString& name) const noexcept;
    bool IsData(const CPPoolString& text) const noexcept;

    // Names.
    bool SetName(const CPPoolString& name);
    // `type` is not used: the new node is empty.
    bool SetNameType(const CPPoolString& name, unsigned int type);
    bool Rename(const CPPoolString& name);

    // Attributes.
    bool AddAttribute(const CPPoolString& name, const CPPoolString& value);
    bool SetAttribute(const CPPoolString& name, const CPPoolString& value);
    bool DeleteAttribute(const CPPoolString& name);
    bool HasAttribute(const CPPoolString& name) const noexcept;
    CPPoolString FindAttribute(const CPPoolString& name) const noexcept;
    bool MergeAttributes(const CXMLObject& from, bool overwrite);
    CXMLAttribute* GetAttributes(unsigned int& count) noexcept;
    const CXMLAttribute* GetAttributes(unsigned int& count) const noexcept;
    unsigned int GetNAttributes() const noexcept;

    // Children. Addresses stay valid until the child list next changes.
    const CXMLObject* GetElements(unsigned int& count) const noexcept;
    CXMLObject* GetElements(unsigned int& count) noexcept;
    const CXMLObject* item(unsigned int index) const noexcept;
    CXMLObject* item(unsigned int index) noexcept;
    const CXMLObject* item(const xmlret& r) const noexcept { return item(r.uIndex()); }
    CXMLObject* item(const xmlret& r) noexcept { return item(r.uIndex()); }

    // Content editing.
    xmlret Add(const CXMLObject& o);
    xmlret Insert(const CXMLObject& o, unsigned int index);
    xmlret Replace(const CXMLObject& o, unsigned int index);
    xmlret Replace(const CXMLObject& o, CXMLObject* slot);
    // Lets a literal index such as 0 pick the index form.
    xmlret Replace(const CXMLObject& o, int index) {
        return Replace(o, static_cast<unsigned int>(index));
    }
    bool CAdd(const CXMLObject& o);
    bool Add(const CXMLObjectList& list);
    bool Add(const CPPoolString& text);
    bool Add(const char* text);
    bool Add(const unsigned short* text);
    bool Add(const mtime& t);
    xmlret Set(const CXMLObject& o);
    bool Set(const CPPoolString& text);
    bool Set(const char* text);
    bool Set(const unsigned short* text);
    bool Set(const CXMLObjectList& list);
    bool Delete(const CXMLObject* child);
    bool DeleteElements();
    bool DeleteData();
    bool DeleteContent();
    CPPoolString GetData() const noexcept;

    // Output.
    // True when `text` must be written as CDATA to read back unchanged.
    bool CDATARequired(const unsigned short* text) const noexcept;
    // Kept for old callers: out.Write(*this).
    bool Write(CXMLOut& out) const;
    // The node as XML on one line, without a byte-order mark.
    CPPoolString GetContent() const;
    // The subtree on the log, one line per tag, at `depth` levels in.
    void Dump(unsigned int selector1, unsigned int selector2, unsigned int depth) const;

    // ---- Binary images (xmlimage.h) ----
    // The tqcore and image types are named with their class keys so that
    // this block needs no includes of its own.
    // `wide` picks UTF-16 strings, else UTF-8. The image block from `alloc`
    // belongs to the caller.
    static bool Store(class Inewdelete& alloc, const CXMLObject& tree, bool wide);
    // On failure `mem` is freed.
    static bool Store(class CPMemory& mem, const CXMLObject& tree, bool wide);
    // Creates missing directories; a partly written file is deleted.
    static bool Store(const unsigned short* path, std::uint32_t timeout, const CXMLObject& tree,
                      bool wide);
    // Without a size the image is bounded by its own structure, read through
    // page checks, so unreadable memory gives an empty handle, not a fault.
    static CXMLObject Load(const void* image);
    static CXMLObject Load(class CPMemory& mem);
    static CXMLObject Load(const unsigned short* path, std::uint32_t timeout);
    // Builds this node from the records at `cursor` and advances it. Trusts
    // the records and `table` to come from this library's writer; the sized
    // readers sit under Load and the packed objects.
    bool LoadObject32(void*& cursor, struct tagSTRINGID* table);
    // The image code reads and builds bodies directly, without the editing
    // checks.
    friend class CXMLImageReader;
    friend class CXMLImageWriter;
    // ---- end of binary images ----

  protected:
    friend class CXMLOut;
    // Writes the subtree through the sink's text primitives; false at the
    // first failure.
    bool _writeout(CXMLOut& out) const;

  private:
    friend class CXMLObjectList;
    friend class CXMLDoc;                // the parser builds trees through the private adders
    friend struct CXMLObjectTestAccess;  // unit tests reach the private adders

    // The node factory: the handle lets go of its body and gets a new one.
    bool setNameType(const CPPoolString& name, unsigned int type);
    bool setNameType(const char* name, unsigned int type);
    bool setNameType(const unsigned char* name, unsigned int type);
    bool setNameType(const unsigned short* name, unsigned int type);
    void _decrement() noexcept;

    bool IsValidName(const char* name) const noexcept;
    bool IsValidName(const unsigned short* name) const noexcept;

    bool addAttribute(const CPPoolString& name, const CPPoolString& value);
    bool addAttribute(const char* name, const char* value);
    bool addAttribute(const unsigned char* name, const unsigned char* value);
    bool addAttribute(const unsigned short* name, const unsigned short* value);
    bool deleteAttribute(const CPPoolString& name);
    // Index of the attribute named `name`, or the attribute count when absent.
    unsigned int findAttribute(const CPPoolString& name) const noexcept;
    bool Add(const unsigned char* text);

    void addRef() const noexcept {
        if (m_pO) m_pO->m_lRefCnt.fetch_add(1, std::memory_order_relaxed);
    }
    // One interlocked decrement; the rare cases (last holder, broken count)
    // go out of line.
    static void release(CXMLObjectBody* body) noexcept {
        if (!body) return;
        const std::int32_t before = body->m_lRefCnt.fetch_sub(1, std::memory_order_acq_rel);
        if (before <= 1) lastRelease(body, before);
    }
    static void lastRelease(CXMLObjectBody* body, std::int32_t before) noexcept;
    void afterChildAdded() noexcept;
    void afterDataAdded() noexcept;

    CXMLObjectBody* m_pO;
};
static_assert(sizeof(CXMLObject) == sizeof(void*), "a node handle is one pointer");

// Node bodies alive in the process, for leak checks.
TQXML_API std::int64_t GetXMLObjectBodyCount() noexcept;

}  // namespace tqcore
