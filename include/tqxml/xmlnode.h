#pragma once
// The node handle CXMLObject and its shared, reference-counted body.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "tqcore/guid.h"
#include "tqcore/pool.h"
#include "tqcore/timecode.h"
#include "tqcore/times.h"
#include "tqxml/export.h"
#include "tqxml/xmlflagmap.h"
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

    CXMLObjectBody(CPPoolString name, std::uint32_t type) noexcept
        : m_lRefCnt(1), m_Name(std::move(name)), m_uType(type) {}
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

    // ---- Typed values ------------------------------------------------------
    // Each value type has one text form; for every type the readers of the
    // node's data (GetData...), of an attribute (FindAttribute...) and of the
    // first child of a name (FindElement...) sit together with its writers.
    // Readers return the caller's default when the node is no data node, the
    // attribute is absent or empty, the child is missing or no data node, or
    // the text does not convert. Add/AddAttribute/AddTag refuse to overwrite;
    // Set/SetAttribute/SetTag replace the node's content or the attribute.

    // Integers: "%d", "%u", 64-bit "%I64d"/"%I64u" and hexadecimal "%x".
    // Read only; write them with printf, printfAttribute or printfTag.
    int GetDataInt(int fallback) const;
    unsigned int GetDataUInt(unsigned int fallback) const;
    std::int64_t GetDataLInt(std::int64_t fallback) const;
    std::uint64_t GetDataLUInt(std::uint64_t fallback) const;
    std::uint32_t GetDataHex(std::uint32_t fallback) const;
    int FindAttributeInt(const CPPoolString& name, int fallback) const;
    unsigned int FindAttributeUInt(const CPPoolString& name, unsigned int fallback) const;
    std::int64_t FindAttributeLInt(const CPPoolString& name, std::int64_t fallback) const;
    std::uint64_t FindAttributeLUInt(const CPPoolString& name, std::uint64_t fallback) const;
    std::uint32_t FindAttributeHex(const CPPoolString& name, std::uint32_t fallback) const;
    int FindElementInt(const CPPoolString& name, int fallback) const;
    unsigned int FindElementUInt(const CPPoolString& name, unsigned int fallback) const;
    std::int64_t FindElementLInt(const CPPoolString& name, std::int64_t fallback) const;
    std::uint64_t FindElementLUInt(const CPPoolString& name, std::uint64_t fallback) const;
    std::uint32_t FindElementHex(const CPPoolString& name, std::uint32_t fallback) const;

    // Doubles are written exactly as "<bits in hex>(<%.4g>)", e.g.
    // "3ff8000000000000(1.5)", and read back bit-exact by the EDouble readers.
    // The Double readers take decimal text with a '.' (or the current
    // locale's separator; the attribute reader also a ',' in every locale).
    double GetDataDouble(double fallback) const;
    double GetDataEDouble(double fallback) const;
    double FindAttributeDouble(const CPPoolString& name, double fallback) const;
    double FindAttributeEDouble(const CPPoolString& name, double fallback) const;
    double FindElementDouble(const CPPoolString& name, double fallback) const;
    double FindElementEDouble(const CPPoolString& name, double fallback) const;
    bool Add(const double& value);
    bool Set(const double& value);
    bool AddAttribute(const CPPoolString& name, const double& value);
    bool SetAttribute(const CPPoolString& name, const double& value);
    xmlret AddTag(const CPPoolString& name, const double& value);

    // Media times: the exact double form of their value.
    mtime GetDataMTime(mtime fallback) const;
    mtime FindAttributeMTime(const CPPoolString& name, mtime fallback) const;
    mtime FindElementMTime(const CPPoolString& name, mtime fallback) const;
    bool Add(const mtime& value);
    bool Set(const mtime& value);
    bool AddAttribute(const CPPoolString& name, const mtime& value);
    bool SetAttribute(const CPPoolString& name, const mtime& value);
    xmlret AddTag(const CPPoolString& name, const mtime& value);
    xmlret SetTag(const CPPoolString& name, const mtime& value);

    // GUIDs: the braced text form. Present text that does not parse reads as
    // a null GUID, not as the default.
    CGUID GetDataGUID(CGUID fallback) const;
    CGUID FindAttributeGUID(const CPPoolString& name, CGUID fallback) const;
    CGUID FindElementGUID(const CPPoolString& name, CGUID fallback) const;
    bool Add(const CGUID& value);
    bool Set(const CGUID& value);
    bool AddAttribute(const CPPoolString& name, const CGUID& value);
    bool SetAttribute(const CPPoolString& name, const CGUID& value);
    xmlret AddTag(const CPPoolString& name, const CGUID& value);
    xmlret SetTag(const CPPoolString& name, const CGUID& value);

    // File times: their text form (present text that does not parse reads as 0).
    filetime GetDataFileTime(filetime fallback) const;
    filetime FindAttributeFileTime(const CPPoolString& name, filetime fallback) const;
    filetime FindElementFileTime(const CPPoolString& name, filetime fallback) const;
    bool Add(const filetime& value);
    bool Set(const filetime& value);
    bool AddAttribute(const CPPoolString& name, const filetime& value);
    bool SetAttribute(const CPPoolString& name, const filetime& value);
    xmlret AddTag(const CPPoolString& name, const filetime& value);
    xmlret SetTag(const CPPoolString& name, const filetime& value);

    // Booleans: the pooled "true" and "false", read in any case. GetDataBool
    // also reads the data of a node that has children.
    bool GetDataBool(bool fallback) const;
    bool FindAttributeBool(const CPPoolString& name, bool fallback) const;
    bool FindElementBool(const CPPoolString& name, bool fallback) const;
    bool Add(bool value);
    bool Set(bool value);
    bool AddAttribute(const CPPoolString& name, bool value);
    bool SetAttribute(const CPPoolString& name, bool value);
    xmlret AddTag(const CPPoolString& name, bool value);
    xmlret SetTag(const CPPoolString& name, bool value);

    // Timecodes: their text form; text that is no timecode reads as the
    // default, and an undefined timecode cannot be written.
    timecode GetDataTimecode(timecode fallback) const;
    timecode FindAttributeTimecode(const CPPoolString& name, timecode fallback) const;
    timecode FindElementTimecode(const CPPoolString& name, timecode fallback) const;
    bool Add(const timecode& value);
    bool Set(const timecode& value);
    bool AddAttribute(const CPPoolString& name, const timecode& value);
    bool SetAttribute(const CPPoolString& name, const timecode& value);
    xmlret AddTag(const CPPoolString& name, const timecode& value);
    xmlret SetTag(const CPPoolString& name, const timecode& value);

    // Byte arrays: two hexadecimal digits per byte, low digit first (0x1F,
    // 0xA0 is "F10A"). The size is the exact byte count of written text, 0
    // for text with other characters or an odd length; GetDataBinary stores
    // at most `size` bytes and returns how many. Writing no bytes succeeds
    // and stores nothing.
    unsigned int GetDataBinarySize() const;
    unsigned int GetDataBinary(unsigned char* buffer, unsigned int size) const;
    bool Add(const unsigned char* bytes, unsigned int count);
    bool Set(const unsigned char* bytes, unsigned int count);
    xmlret AddTag(const CPPoolString& name, const unsigned char* bytes, unsigned int count);
    xmlret SetTag(const CPPoolString& name, const unsigned char* bytes, unsigned int count);

    // Flag sets through a caller's map of `rows` rows: the names of the set
    // bits joined by `separator`, unnamed bits as one "0x%08x" rest. Readers
    // give 0 when nothing is there; flags of 0 cannot be written.
    std::uint32_t GetDataFlags(const tagXMLFLAGMAP* map, unsigned int rows,
                               unsigned short separator) const;
    std::uint32_t FindAttributeFlags(const CPPoolString& name, const tagXMLFLAGMAP* map,
                                     unsigned int rows, unsigned short separator) const;
    std::uint32_t FindElementFlags(const CPPoolString& name, const tagXMLFLAGMAP* map,
                                   unsigned int rows, unsigned short separator) const;
    bool Add(std::uint32_t flags, const tagXMLFLAGMAP* map, unsigned int rows,
             unsigned short separator);
    bool Set(std::uint32_t flags, const tagXMLFLAGMAP* map, unsigned int rows,
             unsigned short separator);
    bool AddAttribute(const CPPoolString& name, std::uint32_t flags, const tagXMLFLAGMAP* map,
                      unsigned int rows, unsigned short separator);
    bool SetAttribute(const CPPoolString& name, std::uint32_t flags, const tagXMLFLAGMAP* map,
                      unsigned int rows, unsigned short separator);
    xmlret AddTag(const CPPoolString& name, std::uint32_t flags, const tagXMLFLAGMAP* map,
                  unsigned int rows, unsigned short separator);
    xmlret SetTag(const CPPoolString& name, std::uint32_t flags, const tagXMLFLAGMAP* map,
                  unsigned int rows, unsigned short separator);

    // Index lists: the position of the node's name (GetIndex), data or
    // attribute value among the `separator`-separated entries of `list`;
    // 0xFFFFFFFF when it is no whole entry.
    unsigned int GetIndex(const unsigned short* list, unsigned short separator) const;
    unsigned int GetDataIndex(const unsigned short* list, unsigned short separator) const;
    unsigned int FindAttributeIndex(const CPPoolString& name, const unsigned short* list,
                                    unsigned short separator) const;
    unsigned int FindElementIndex(const CPPoolString& name, const unsigned short* list,
                                  unsigned short separator) const;

    // Plain text. FindAttributeString gives the default only for an absent
    // attribute; the pointers stay valid while the attribute or child keeps
    // its text. FindElementData gives a null string when there is no such
    // data child. An empty pooled string as a tag's value adds no data.
    const unsigned short* FindAttributeString(const CPPoolString& name,
                                              const unsigned short* fallback) const;
    const unsigned short* FindElementString(const CPPoolString& name,
                                            const unsigned short* fallback) const;
    CPPoolString FindElementData(const CPPoolString& name) const;
    bool AddAttribute(const CPPoolString& name, const unsigned short* value);
    bool SetAttribute(const CPPoolString& name, const unsigned short* value);
    xmlret AddTag(const CPPoolString& name);
    xmlret AddTag(const CPPoolString& name, const CPPoolString& value);
    xmlret SetTag(const CPPoolString& name, const CPPoolString& value);
    xmlret AddTag(const CPPoolString& name, const unsigned short* value);
    xmlret SetTag(const CPPoolString& name, const unsigned short* value);
    // u"..." literals: without these they would pick the bool overloads.
    bool Add(const char16_t* text) { return Add(reinterpret_cast<const unsigned short*>(text)); }
    bool Set(const char16_t* text) { return Set(reinterpret_cast<const unsigned short*>(text)); }
    bool AddAttribute(const CPPoolString& name, const char16_t* value) {
        return AddAttribute(name, reinterpret_cast<const unsigned short*>(value));
    }
    bool SetAttribute(const CPPoolString& name, const char16_t* value) {
        return SetAttribute(name, reinterpret_cast<const unsigned short*>(value));
    }
    xmlret AddTag(const CPPoolString& name, const char16_t* value) {
        return AddTag(name, reinterpret_cast<const unsigned short*>(value));
    }
    xmlret SetTag(const CPPoolString& name, const char16_t* value) {
        return SetTag(name, reinterpret_cast<const unsigned short*>(value));
    }

    // ---- Formatted text ----------------------------------------------------
    // Wide printf formats in the module's number locale ('.' decimal point),
    // at most 2047 characters of text. printf adds the node's data,
    // printfAttribute a new attribute, printfTag a new child with that data;
    // the S forms replace the data, the attribute or the whole content.
    bool printf(const unsigned short* format, ...);
    bool Sprintf(const unsigned short* format, ...);
    bool printfAttribute(const CPPoolString& name, const unsigned short* format, ...);
    bool SprintfAttribute(const CPPoolString& name, const unsigned short* format, ...);
    xmlret printfTag(const CPPoolString& name, const unsigned short* format, ...);
    xmlret SprintfTag(const CPPoolString& name, const unsigned short* format, ...);

    // ---- Searches among the children ---------------------------------------
    // Children named `name` that also match the criteria: FindNext... steps
    // forwards from the child after `start` (the first when null), FindPrev...
    // backwards from the one before it (the last when null); null when none.
    // `start` must come from a search on this node since its children last
    // changed. Data: equal data; Type: equal type; Att: has the attribute;
    // AttVal: has the attribute with that value.
    const CXMLObject* FindNextElement(const CPPoolString& name, const CXMLObject* start) const;
    const CXMLObject* FindPrevElement(const CPPoolString& name, const CXMLObject* start) const;
    const CXMLObject* FindNextElementData(const CPPoolString& name, const CPPoolString& data,
                                          const CXMLObject* start) const;
    const CXMLObject* FindPrevElementData(const CPPoolString& name, const CPPoolString& data,
                                          const CXMLObject* start) const;
    const CXMLObject* FindNextElementType(const CPPoolString& name, unsigned int type,
                                          const CXMLObject* start) const;
    const CXMLObject* FindPrevElementType(const CPPoolString& name, unsigned int type,
                                          const CXMLObject* start) const;
    const CXMLObject* FindNextElementAtt(const CPPoolString& name, const CPPoolString& attribute,
                                         const CXMLObject* start) const;
    const CXMLObject* FindPrevElementAtt(const CPPoolString& name, const CPPoolString& attribute,
                                         const CXMLObject* start) const;
    const CXMLObject* FindNextElementAttVal(const CPPoolString& name, const CPPoolString& attribute,
                                            const CPPoolString& value,
                                            const CXMLObject* start) const;
    const CXMLObject* FindPrevElementAttVal(const CPPoolString& name, const CPPoolString& attribute,
                                            const CPPoolString& value,
                                            const CXMLObject* start) const;
    CXMLObject* FindNextElement(const CPPoolString& name, CXMLObject* start);
    CXMLObject* FindPrevElement(const CPPoolString& name, CXMLObject* start);
    CXMLObject* FindNextElementData(const CPPoolString& name, const CPPoolString& data,
                                    CXMLObject* start);
    CXMLObject* FindPrevElementData(const CPPoolString& name, const CPPoolString& data,
                                    CXMLObject* start);
    CXMLObject* FindNextElementType(const CPPoolString& name, unsigned int type, CXMLObject* start);
    CXMLObject* FindPrevElementType(const CPPoolString& name, unsigned int type, CXMLObject* start);
    CXMLObject* FindNextElementAtt(const CPPoolString& name, const CPPoolString& attribute,
                                   CXMLObject* start);
    CXMLObject* FindPrevElementAtt(const CPPoolString& name, const CPPoolString& attribute,
                                   CXMLObject* start);
    CXMLObject* FindNextElementAttVal(const CPPoolString& name, const CPPoolString& attribute,
                                      const CPPoolString& value, CXMLObject* start);
    CXMLObject* FindPrevElementAttVal(const CPPoolString& name, const CPPoolString& attribute,
                                      const CPPoolString& value, CXMLObject* start);
    // Children named `name`; all children for an empty name.
    unsigned int GetNElements(CPPoolString name) const;

    // ---- Element paths -----------------------------------------------------
    // "a/b/c": names separated by single '/', white space allowed around the
    // names, a trailing '/' allowed. SplitElementPath gives the names, or an
    // empty array for a malformed path; with `query` it interns nothing and
    // fails on a name never interned. FindFirstElement follows the first
    // child of each name (no backtracking) and gives, on request, the node
    // whose children hold the result.
    static CPPoolStringArray SplitElementPath(const unsigned short* path, bool query);
    const CXMLObject* FindFirstElement(const unsigned short* path,
                                       const CXMLObject** parent = nullptr) const;
    CXMLObject* FindFirstElement(const unsigned short* path, CXMLObject** parent = nullptr);
    // ---- End of typed values, searches and paths ---------------------------

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
    bool setNameType(CPPoolString name, unsigned int type);
    bool setNameType(const char* name, unsigned int type);
    bool setNameType(const unsigned char* name, unsigned int type);
    bool setNameType(const unsigned short* name, unsigned int type);
    // The parser's factory for a handle that has no body yet, with a name
    // that is not null.
    bool nameEmpty(CPPoolString name) noexcept;
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
    // go out of line. A sole holder needs none: nobody else can reach the
    // body to count it up again.
    static void release(CXMLObjectBody* body) noexcept {
        if (!body) return;
        std::int32_t before = body->m_lRefCnt.load(std::memory_order_acquire);
        if (before != 1) before = body->m_lRefCnt.fetch_sub(1, std::memory_order_acq_rel);
        if (before <= 1) lastRelease(body, before);
    }
    static void lastRelease(CXMLObjectBody* body, std::int32_t before) noexcept;
    // The type a child makes of its parent: empty becomes element, data
    // becomes process. Inline: the parser calls it for every parent.
    void afterChildAdded() noexcept {
        if (m_pO->m_uType == CXML_TYPE_EMPTY)
            m_pO->m_uType = CXML_TYPE_ELEMENT;
        else if (m_pO->m_uType == CXML_TYPE_DATA)
            m_pO->m_uType = CXML_TYPE_PROCESS;
    }
    // The parser's children of a node it has not handed out yet: the list
    // takes them over as they lie (CXMLObjectList::adopt).
    bool adoptChildren(CXMLObject* from, std::size_t n) noexcept;
    // The same for the attributes of a tag (CXMLAttribList::adopt).
    bool adoptAttributes(CXMLAttribute* from, std::size_t n) noexcept;
    void afterDataAdded() noexcept;
    // The parser's value of an attribute it added before the value was pooled.
    static void placeValue(CXMLAttribute& attribute, CPPoolString value) noexcept {
        attribute.m_Value = std::move(value);
    }
    // An attribute's name without the count a copy would take (GetName).
    static const CPPoolString& nameOf(const CXMLAttribute& attribute) noexcept {
        return attribute.m_Name;
    }
    // Add of a data text the caller gives up.
    bool takeData(CPPoolString text);

    // ---- Typed values: private helpers ----
    // The next child from `start` on, forwards or backwards, that is named
    // `name` and passes `test`.
    template <class Test>
    const CXMLObject* searchChildren(const CPPoolString& name, const CXMLObject* start,
                                     bool forward, Test test) const;
    // First character of the current locale's decimal point.
    unsigned short GetDecSep() const;
    // Flag text into a buffer of 2048 units; false without a map or room.
    bool setFlags(unsigned short* buffer, std::uint32_t flags, const tagXMLFLAGMAP* map,
                  unsigned int rows, unsigned short separator) const;
    std::uint32_t getFlags(const unsigned short* text, const tagXMLFLAGMAP* map, unsigned int rows,
                           unsigned short separator) const;
    unsigned int getIndex(const unsigned short* word, const unsigned short* list,
                          unsigned short separator) const;
    // A new child named `name` given `value` through the matching Add,
    // appended (or made the only content when `replace`).
    template <class... Value>
    xmlret addTag(bool replace, const CPPoolString& name, const Value&... value);
    // ---- End of typed values: private helpers ----

    CXMLObjectBody* m_pO;
};
static_assert(sizeof(CXMLObject) == sizeof(void*), "a node handle is one pointer");

// Node bodies alive in the process, for leak checks.
TQXML_API std::int64_t GetXMLObjectBodyCount() noexcept;

}  // namespace tqcore
