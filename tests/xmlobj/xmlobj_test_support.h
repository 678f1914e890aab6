#pragma once
// Shared helpers of the node model tests.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "support/capture.h"
#include "support/xmlobj_access.h"
#include "tqcore/diag.h"
#include "tqcore/heap.h"
#include "tqcore/pool.h"
#include "tqcore/wtext.h"
#include "tqxml/xmlobj.h"

namespace xmlobj_test {

using namespace tqcore;

inline CPPoolString PS(const char16_t* text) {
    return CStringPool::GetStringRef(text);
}
inline std::u16string Text(const CPPoolString& s) {
    return s.isnull() ? u"<null>" : std::u16string(s.c16());
}
inline CXMLObject Node(const char16_t* name) {
    return CXMLObject(PS(name));
}
inline CXMLObject DataNode(const char16_t* name, const char16_t* data) {
    CXMLObject n = Node(name);
    n.Add(W(data));
    return n;
}

// A chain root -> n1 -> n2 -> ... of nodes "level", built through Add.
inline CXMLObject Chain(unsigned int depth) {
    CXMLObject root = Node(u"level");
    CXMLObject tail = root;
    for (unsigned int i = 1; i < depth; ++i) {
        CXMLObject next = Node(u"level");
        tail.Add(next);
        tail = next;
    }
    return root;
}

// The name of the first node in which two trees differ, "" when they are
// equal: names, types and data are the same pooled strings, attribute values
// the same under `sameValue`. Iterative: trees a million levels deep compare.
template <class SameValue = std::equal_to<CPPoolString>>
std::u16string TreeDifference(const CXMLObject& left, const CXMLObject& right,
                              SameValue sameValue = {}) {
    std::vector<std::pair<const CXMLObject*, const CXMLObject*>> pending{{&left, &right}};
    while (!pending.empty()) {
        const auto [a, b] = pending.back();
        pending.pop_back();
        unsigned int na = 0, nb = 0, ca = 0, cb = 0;
        const CXMLAttribute *aa = a->GetAttributes(na), *ab = b->GetAttributes(nb);
        const CXMLObject *childrenA = a->GetElements(ca), *childrenB = b->GetElements(cb);
        bool same = a->GetName() == b->GetName() && a->GetType() == b->GetType() &&
                    a->GetData() == b->GetData() && na == nb && ca == cb;
        for (unsigned int i = 0; same && i < na; ++i)
            same =
                aa[i].GetName() == ab[i].GetName() && sameValue(aa[i].GetValue(), ab[i].GetValue());
        if (!same) return Text(a->GetName());
        for (unsigned int i = 0; i < ca; ++i) pending.emplace_back(childrenA + i, childrenB + i);
    }
    return u"";
}
// Both trees are there and equal.
inline bool SameTree(const CXMLObject& a, const CXMLObject& b) {
    return a && b && TreeDifference(a, b).empty();
}

// Appends `value` as `width` little-endian bytes.
inline void AppendLE(std::vector<unsigned char>& out, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// Records every assumption report while alive.
using ReportRecorder = tqtest::Capture;

// Checks one assumption report against its expected text and place.
inline void ExpectReport(const ReportRecorder::Report& r, const char* expression, unsigned int line,
                         const char* function = "") {
    EXPECT_EQ(r.expression, expression);
    EXPECT_EQ(r.title, "Runtime assumption failed");
    EXPECT_EQ(r.file, "xmlobj");
    EXPECT_EQ(r.line, line);
    EXPECT_NE(r.function.find(function), std::string::npos) << r.function;
}

// Makes core allocations fail after `allowed` more while alive.
class AllocationFailure {
  public:
    explicit AllocationFailure(std::int64_t allowed) { SetAllocationFailureCountdown(allowed); }
    ~AllocationFailure() { SetAllocationFailureCountdown(-1); }
};

// The used and spare bytes of a node or list, counted from zero.
template <class Owner>
std::pair<std::uint64_t, std::uint64_t> MemUsage(const Owner& owner) {
    std::uint64_t used = 0, spare = 0;
    owner.GetMemUsage(used, spare);
    return {used, spare};
}
template <class List>
std::uint64_t AllocatedBytes(const List& list) {
    return MemUsage(list).first + MemUsage(list).second;
}

}  // namespace xmlobj_test
