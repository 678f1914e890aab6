#pragma once
// Shared helpers of the binary image and packed object tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "xmlobj_test_support.h"

namespace xmlobj_test {

using Bytes = std::vector<std::uint8_t>;

// Little-endian fields for hand-made images.
inline void Append(Bytes& out, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
inline Bytes Header(std::uint32_t count, bool utf8, std::uint32_t headerSize = 12) {
    Bytes out;
    Append(out, headerSize, 4);
    Append(out, count, 4);
    Append(out, utf8 ? 1 : 0, 4);
    return out;
}
inline void Utf8String(Bytes& out, const char* text) {
    out.insert(out.end(), text, text + std::strlen(text) + 1);
}
inline void NodeRecord(Bytes& out, std::uint32_t name, std::uint16_t attribs,
                       std::uint32_t content) {
    Append(out, name, 4);
    Append(out, attribs, 2);
    Append(out, content, 4);
}
inline void AttribRecord(Bytes& out, std::uint32_t name, std::uint32_t value) {
    Append(out, name, 4);
    Append(out, value, 4);
}

inline Bytes StoreBytes(const CXMLObject& tree, bool wide) {
    CPMemory mem;
    if (!CXMLObject::Store(mem, tree, wide)) return {};
    const auto* p = static_cast<const std::uint8_t*>(static_cast<void*>(mem));
    return Bytes(p, p + mem.GetSize());
}

// Loads through the sized reader.
inline CXMLObject LoadBytes(const Bytes& image) {
    CPMemory mem;
    if (!image.empty()) {
        if (!mem.Alloc(image.size())) return CXMLObject();
        std::memcpy(static_cast<void*>(mem), image.data(), image.size());
    }
    return CXMLObject::Load(mem);
}

// The first difference between two trees (names, types, data, attributes
// in order, children in order); empty when they are equal.
inline std::string Difference(const CXMLObject& left, const CXMLObject& right) {
    std::vector<std::pair<const CXMLObject*, const CXMLObject*>> pending{{&left, &right}};
    while (!pending.empty()) {
        const auto [a, b] = pending.back();
        pending.pop_back();
        if (!*a != !*b) return "one node is missing";
        if (!*a) continue;
        std::string where = " in <";
        for (char16_t c : Text(a->GetName())) where += c < 0x80 ? static_cast<char>(c) : '?';
        where += ">";
        if (a->GetName() != b->GetName()) return "names differ" + where;
        if (a->GetType() != b->GetType()) return "types differ" + where;
        if (a->GetData() != b->GetData()) return "data differs" + where;
        unsigned int na = 0, nb = 0;
        const CXMLAttribute* aa = a->GetAttributes(na);
        const CXMLAttribute* ab = b->GetAttributes(nb);
        if (na != nb) return "attribute counts differ" + where;
        for (unsigned int i = 0; i < na; ++i)
            if (aa[i].GetName() != ab[i].GetName() || aa[i].GetValue() != ab[i].GetValue())
                return "attributes differ" + where;
        const CXMLObject* ca = a->GetElements(na);
        const CXMLObject* cb = b->GetElements(nb);
        if (na != nb) return "child counts differ" + where;
        for (unsigned int i = 0; i < na; ++i) pending.emplace_back(ca + i, cb + i);
    }
    return "";
}

}  // namespace xmlobj_test
