// Writing trees as images: the records walk and the image block.
#include "xmlobj/image_writer.h"

#include <climits>

#include "tqplatform/codepage.h"
#include "tqplatform/files.h"
#include "tqxml/xmlimage.h"
#include "xmlobj/image_format.h"
#include "xmlobj/subtree_walk.h"

namespace tqcore {
namespace image {
namespace {

unsigned int CountPresent(const CXMLObject* children, unsigned int count) noexcept {
    unsigned int present = 0;
    for (unsigned int i = 0; i < count; ++i) present += children[i] ? 1 : 0;
    return present;
}

// Bytes of the string part of an image.
bool StringBytes(const CXMLStringTable& table, bool wide, std::uint64_t& bytes) noexcept {
    bytes = 0;
    for (std::uint32_t i = 0; i < table.m_uCount; ++i) {
        const CPPoolString& s = table.m_pEntries[i].string;
        if (wide) {
            bytes += 2 * (std::uint64_t{s.len()} + 1);
            continue;
        }
        const int n =
            tqplat::WideCharToMultiByte(tqplat::CP_UTF8, 0, s, -1, nullptr, 0, nullptr, nullptr);
        if (n <= 0) return false;
        bytes += static_cast<std::uint64_t>(n);
    }
    return true;
}

// Writes the strings in id order from `out`; false when a conversion gives
// another byte count than it measured.
bool PutStrings(const CXMLStringTable& table, bool wide, unsigned char* out,
                std::uint64_t room) noexcept {
    for (std::uint32_t i = 0; i < table.m_uCount; ++i) {
        const CPPoolString& s = table.m_pEntries[i].string;
        const unsigned short* text = s;
        if (wide) {
            for (unsigned int u = 0; u <= s.len(); ++u, out += 2) PutU16(out, text[u]);
            continue;
        }
        const int capacity = room > INT_MAX ? INT_MAX : static_cast<int>(room);
        const int n = tqplat::WideCharToMultiByte(
            tqplat::CP_UTF8, 0, text, -1, reinterpret_cast<char*>(out), capacity, nullptr, nullptr);
        if (n <= 0) return false;
        out += n;
        room -= static_cast<std::uint64_t>(n);
    }
    return true;
}

}  // namespace

}  // namespace image

// A node whose children are being written.
struct CXMLImageWriter::ChildrenFrame {
    const CXMLObject* children;
    unsigned int count;
    unsigned int next;
};

bool CXMLImageWriter::writeOne(CPFMemoryStream& stream, const CXMLObjectBody& node,
                               image::StringCollector& strings, ChildrenFrame& frame) noexcept {
    CXMLImageNode record{0, 0, 0};
    if (!strings.Add(node.m_Name, record.uName)) return false;
    unsigned int attribCount = 0;
    const CXMLAttribute* attribs = node.m_Attribs.GetArray(attribCount);
    if (attribCount > 0xFFFF) return false;
    record.uAttribCount = static_cast<std::uint16_t>(attribCount);
    frame = ChildrenFrame{nullptr, 0, 0};
    if (node.m_uType == CXML_TYPE_ELEMENT) {
        frame.children = node.m_Elements.GetArray(frame.count);
        record.uContent = image::CountPresent(frame.children, frame.count);
        if (record.uContent & CXMLImageNode::kDataFlag) return false;
    } else if (node.m_Data) {
        std::uint32_t id = 0;
        if (!strings.Add(node.m_Data, id)) return false;
        record.uContent = CXMLImageNode::kDataFlag | id;
    }
    unsigned char bytes[CXMLImageNode::kBytes];
    image::Encode(record, bytes);
    if (stream.Write(bytes, sizeof bytes) == 0) return false;
    for (unsigned int i = 0; i < attribCount; ++i) {
        CXMLImageAttrib attrib{0, 0};
        if (!strings.Add(attribs[i].GetName(), attrib.uName) ||
            !strings.Add(attribs[i].GetValue(), attrib.uValue))
            return false;
        unsigned char pair[CXMLImageAttrib::kBytes];
        image::Encode(attrib, pair);
        if (stream.Write(pair, sizeof pair) == 0) return false;
    }
    return true;
}

bool CXMLImageWriter::WriteNode(CPFMemoryStream& stream, const CXMLObject& node,
                                image::StringCollector& strings) noexcept {
    if (!node) return false;
    ChildrenFrame frame{};
    if (!writeOne(stream, *node.m_pO, strings, frame)) return false;
    detail::HeapStack<ChildrenFrame> stack;
    if (frame.count && !stack.push(frame)) return false;
    while (!stack.empty()) {
        ChildrenFrame& top = stack.top();
        if (top.next == top.count) {
            stack.pop();
            continue;
        }
        const CXMLObject& child = top.children[top.next++];
        if (!child) continue;
        if (!writeOne(stream, *child.m_pO, strings, frame)) return false;
        if (frame.count && !stack.push(frame)) return false;
    }
    return true;
}

void* CMemoryNewDelete::New(std::uint64_t size) {
    return m_mem.Alloc(size) ? static_cast<void*>(m_mem) : nullptr;
}

void CMemoryNewDelete::Delete(void* block) {
    if (block && block == static_cast<void*>(m_mem)) m_mem.Free();
}

bool CXMLObject::Store(Inewdelete& alloc, const CXMLObject& tree, bool wide) {
    CPFMemoryStream stream;
    if (!stream.Open(tqplat::GENERIC_READ | tqplat::GENERIC_WRITE, false)) return false;
    CXMLStringTable table{};
    bool stored = false;
    {
        image::StringCollector strings(table);
        stored = CXMLImageWriter::WriteNode(stream, tree, strings);
    }
    std::uint64_t stringBytes = 0;
    stored = stored && image::StringBytes(table, wide, stringBytes);
    const std::uint64_t recordBytes = stream.GetSize();
    auto* block = stored ? static_cast<unsigned char*>(
                               alloc.New(CXMLImageHeader::kBytes + stringBytes + recordBytes))
                         : nullptr;
    if (block) {
        image::Encode(CXMLImageHeader{CXMLImageHeader::kBytes, table.m_uCount,
                                      wide ? 0 : CXMLImageHeader::kUtf8Strings},
                      block);
        unsigned char* strings = block + CXMLImageHeader::kBytes;
        stored = image::PutStrings(table, wide, strings, stringBytes) &&
                 stream.SetPointer(0, 0) == 0 &&
                 stream.Read(strings + stringBytes, recordBytes) == recordBytes;
        if (!stored) alloc.Delete(block);
    }
    stream.Delete();
    image::FreeTable(table);
    return stored && block;
}

bool CXMLObject::Store(CPMemory& mem, const CXMLObject& tree, bool wide) {
    CPMemory image;
    CMemoryNewDelete alloc(image);
    if (!Store(alloc, tree, wide)) {
        mem.Free();
        return false;
    }
    mem = image;
    return true;
}

}  // namespace tqcore
