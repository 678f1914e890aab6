// Reading images back into trees, iteratively and within bounds.
#include "xmlobj/image_reader.h"

#include <cstring>
#include <new>

#include "module/log_and_retry.h"
#include "tqcore/timing.h"
#include "tqplatform/codepage.h"
#include "xmlobj/image_format.h"
#include "xmlobj/subtree_walk.h"

namespace tqcore {
namespace {

// The pooled strings of an image, entry i holding id i.
class LoadedStrings {
  public:
    LoadedStrings() = default;
    LoadedStrings(const LoadedStrings&) = delete;
    LoadedStrings& operator=(const LoadedStrings&) = delete;
    ~LoadedStrings() {
        for (std::uint32_t i = 0; i < m_uCount; ++i) m_pEntries[i].~tagSTRINGID();
        _ffree(m_pEntries);
    }

    bool Reserve(std::uint32_t count) noexcept {
        m_pEntries = static_cast<tagSTRINGID*>(_falloc(std::size_t{count} * sizeof(tagSTRINGID)));
        return m_pEntries != nullptr;
    }
    // False for a null string: the pool ran out of memory.
    bool Append(CPPoolString&& s) noexcept {
        if (s.isnull()) return false;
        new (m_pEntries + m_uCount) tagSTRINGID{m_uCount, std::move(s)};
        ++m_uCount;
        return true;
    }
    const tagSTRINGID* Entries() const noexcept { return m_pEntries; }
    std::uint32_t Count() const noexcept { return m_uCount; }

  private:
    tagSTRINGID* m_pEntries = nullptr;
    std::uint32_t m_uCount = 0;
};

// A UTF-16 string of `units` units at `at`, which may be unaligned: then
// copied straight into its pool entry.
CPPoolString WideString(const unsigned char* at, std::size_t units) noexcept {
    if (units == 0) return CPPoolString::pempty;
    if (reinterpret_cast<std::uintptr_t>(at) % alignof(unsigned short) == 0)
        return CStringPool::GetStringRefn(reinterpret_cast<const unsigned short*>(at),
                                          static_cast<unsigned int>(units));
    auto copy = [&](unsigned short* text) noexcept {
        std::memcpy(text, at, units * 2);
        return units;
    };
    return detail::PoolAccess::Adopt(
        detail::InternWritten(static_cast<std::uint32_t>(units), copy));
}

// UTF-8 text of `bytes` bytes at `at`, converted straight into its pool
// entry (a UTF-8 sequence never gives more UTF-16 units than it has bytes).
CPPoolString Utf8String(const unsigned char* at, std::size_t bytes) noexcept {
    if (bytes == 0) return CPPoolString::pempty;
    if (bytes > 0x7FFFFFFEu) return CPPoolString();
    return detail::PoolAccess::Adopt(detail::InternWritten(
        static_cast<std::uint32_t>(bytes), [&](unsigned short* text) noexcept {
            const int n =
                tqplat::MultiByteToWideChar(tqplat::CP_UTF8, 0, reinterpret_cast<const char*>(at),
                                            static_cast<int>(bytes), text, static_cast<int>(bytes));
            return n > 0 ? static_cast<std::size_t>(n) : std::size_t{0};
        }));
}

// Reads `count` zero-terminated strings from [at, end) and moves `at` past
// them.
bool ReadStrings(const unsigned char*& at, const unsigned char* end, std::uint32_t count, bool utf8,
                 LoadedStrings& strings) noexcept {
    for (std::uint32_t i = 0; i < count; ++i) {
        if (utf8) {
            const auto* zero = static_cast<const unsigned char*>(
                std::memchr(at, 0, static_cast<std::size_t>(end - at)));
            if (!zero || !strings.Append(Utf8String(at, static_cast<std::size_t>(zero - at))))
                return false;
            at = zero + 1;
            continue;
        }
        std::size_t units = 0;
        const std::size_t room = static_cast<std::size_t>(end - at) / 2;
        while (units < room && (at[2 * units] | at[2 * units + 1]) != 0) ++units;
        if (units == room || units >= 0x7FFFFFFFu) return false;
        if (!strings.Append(WideString(at, units))) return false;
        at += 2 * (units + 1);
    }
    return true;
}

// A node whose child records are being read.
struct ParentFrame {
    CXMLObjectBody* parent;
    std::uint32_t remaining;
};

}  // namespace

bool CXMLImageReader::LoadRecords(CXMLObject& root, const unsigned char*& cursor, std::size_t size,
                                  const tagSTRINGID* table, std::uint32_t count) noexcept {
    std::size_t left = size;
    // Child records announced and not read yet: each needs 10 bytes of what
    // is left, which bounds what a malformed count can make us reserve.
    std::uint64_t announced = 0;
    auto readNode = [&](CXMLObject& node, std::uint32_t& children) {
        if (left < CXMLImageNode::kBytes) return false;
        const CXMLImageNode record = image::DecodeNode(cursor);
        const std::size_t attribBytes = std::size_t{record.uAttribCount} * CXMLImageAttrib::kBytes;
        // No node has an empty name: such a record is refused here, before
        // the node factory would report it as a broken rule.
        if (record.uName >= count || !table[record.uName].string ||
            left - CXMLImageNode::kBytes < attribBytes ||
            !node.setNameType(table[record.uName].string, CXML_TYPE_EMPTY))
            return false;
        CXMLObjectBody& body = *node.m_pO;
        cursor += CXMLImageNode::kBytes;
        left -= CXMLImageNode::kBytes + attribBytes;
        if (record.uAttribCount && !body.m_Attribs.Prealloc(record.uAttribCount)) return false;
        for (unsigned int i = 0; i < record.uAttribCount; ++i, cursor += CXMLImageAttrib::kBytes) {
            const CXMLImageAttrib attrib = image::DecodeAttrib(cursor);
            if (attrib.uName >= count || attrib.uValue >= count ||
                !body.m_Attribs.Add(table[attrib.uName].string, table[attrib.uValue].string))
                return false;
        }
        children = 0;
        if (record.uContent & CXMLImageNode::kDataFlag) {
            const std::uint32_t id = record.uContent & ~CXMLImageNode::kDataFlag;
            if (id >= count) return false;
            body.m_Data = table[id].string;
            body.m_uType = CXML_TYPE_DATA;
        } else if (record.uContent) {
            if (announced + record.uContent > left / CXMLImageNode::kBytes ||
                !body.m_Elements.Prealloc(record.uContent))
                return false;
            body.m_uType = CXML_TYPE_ELEMENT;
            children = record.uContent;
            announced += children;
        }
        return true;
    };

    std::uint32_t children = 0;
    if (!readNode(root, children)) return false;
    detail::HeapStack<ParentFrame> stack{detail::RecordWalk{}};
    if (children && !stack.push(ParentFrame{root.m_pO, children})) return false;
    while (!stack.empty()) {
        ParentFrame& top = stack.top();
        if (top.remaining == 0) {
            stack.pop();
            continue;
        }
        --top.remaining;
        --announced;
        // The child is built in its slot: the list was reserved at its full
        // size, so the slot stays put, and no handle is copied.
        CXMLObjectList& siblings = top.parent->m_Elements;
        if (!siblings.Add(CXMLObject())) return false;
        unsigned int n = 0;
        CXMLObject& child = siblings.GetArray(n)[n - 1];
        if (!readNode(child, children)) return false;
        if (children && !stack.push(ParentFrame{child.m_pO, children})) return false;
    }
    return true;
}

CXMLObject CXMLImageReader::LoadImage(const unsigned char* image, std::size_t size) noexcept {
    if (!image || size < CXMLImageHeader::kBytes) return CXMLObject();
    const CXMLImageHeader header = image::DecodeHeader(image);
    const bool utf8 = header.uFlags & CXMLImageHeader::kUtf8Strings;
    // Each string takes at least its terminator.
    const std::size_t unitBytes = utf8 ? 1 : 2;
    if (header.uHeaderSize < CXMLImageHeader::kBytes || header.uHeaderSize > size ||
        header.uStringCount > (size - header.uHeaderSize) / unitBytes)
        return CXMLObject();
    LoadedStrings strings;
    if (!strings.Reserve(header.uStringCount)) return CXMLObject();
    const unsigned char* cursor = image + header.uHeaderSize;
    const unsigned char* end = image + size;
    if (!ReadStrings(cursor, end, header.uStringCount, utf8, strings)) return CXMLObject();
    CXMLObject tree;
    if (!LoadRecords(tree, cursor, static_cast<std::size_t>(end - cursor), strings.Entries(),
                     strings.Count()))
        return CXMLObject();
    return tree;
}

CXMLObject CXMLObject::Load(const void* image) {
    std::size_t size = 0;
    if (!image || !image::MeasureImage(image, size)) return CXMLObject();
    return CXMLImageReader::LoadImage(static_cast<const unsigned char*>(image), size);
}

CXMLObject CXMLObject::Load(CPMemory& mem) {
    CHFLapse timer(true);
    CXMLObject tree =
        CXMLImageReader::LoadImage(static_cast<const unsigned char*>(static_cast<void*>(mem)),
                                   static_cast<std::size_t>(mem.GetSize()));
    timer.Stop();
    module::LogTiming(u"CXMLObject::Load: Parsing", static_cast<double>(timer), mem.GetSize());
    return tree;
}

bool CXMLObject::LoadObject32(void*& cursor, tagSTRINGID* table) {
    if (!cursor || !table) return false;
    const unsigned char* at = static_cast<const unsigned char*>(cursor);
    // No bounds are known here: the records and the table are taken on trust.
    const bool loaded = CXMLImageReader::LoadRecords(*this, at, SIZE_MAX, table, UINT32_MAX);
    cursor = const_cast<unsigned char*>(at);
    return loaded;
}

}  // namespace tqcore
