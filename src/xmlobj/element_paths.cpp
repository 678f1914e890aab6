// Element paths "a/b/c": splitting them into pooled names and walking them
// down the first child of each name.
#include <utility>

#include "tqxml/xmlcharclass.h"
#include "tqxml/xmlnode.h"

namespace tqcore {
namespace {

const unsigned short* SkipSpace(const unsigned short* p) noexcept {
    while (*p && IsXMLSpace(*p)) ++p;
    return p;
}

// Appends the names of `path` to `names`; false for a malformed path or a
// name that cannot be had.
bool AppendPathNames(const unsigned short* path, bool query, CPPoolStringArray& names) {
    const unsigned short* p = path;
    while (*p) {
        p = SkipSpace(p);
        if (!IsXMLNameStartChar(*p)) return false;
        const unsigned short* name = p++;
        while (*p && IsXMLNameChar(*p)) ++p;
        const unsigned int length = static_cast<unsigned int>(p - name);
        p = SkipSpace(p);
        if (*p && *p++ != '/') return false;
        // A query interns nothing: a name never seen cannot be in any tree.
        const CPPoolString pooled = query ? CStringPool::QueryStringRefn(name, length)
                                          : CStringPool::GetStringRefn(name, length);
        if (pooled.isnull() || !names.Add(pooled)) return false;
    }
    return true;
}

}  // namespace

CPPoolStringArray CXMLObject::SplitElementPath(const unsigned short* path, bool query) {
    CPPoolStringArray names(false);
    if (path && !AppendPathNames(path, query, names)) names.Free();
    return names;
}

const CXMLObject* CXMLObject::FindFirstElement(const unsigned short* path,
                                               const CXMLObject** parent) const {
    if (parent) *parent = nullptr;
    if (!path || !*path) return nullptr;
    const CPPoolStringArray names = SplitElementPath(path, true);
    unsigned int count = 0;
    const CPPoolString* name = names.GetArray(count);
    if (!name || count == 0) return nullptr;
    const CXMLObject* holder = nullptr;
    const CXMLObject* current = this;
    for (unsigned int i = 0; i < count; ++i) {
        holder = current;
        current = current->FindNextElement(name[i], nullptr);  // no backtracking
        if (!current) return nullptr;
    }
    if (parent) *parent = holder;
    return current;
}

CXMLObject* CXMLObject::FindFirstElement(const unsigned short* path, CXMLObject** parent) {
    const CXMLObject* holder = nullptr;
    const CXMLObject* found =
        std::as_const(*this).FindFirstElement(path, parent ? &holder : nullptr);
    if (parent) *parent = const_cast<CXMLObject*>(holder);
    return const_cast<CXMLObject*>(found);
}

}  // namespace tqcore
