// Whole-subtree operations: private copies, compaction, memory figures.
#include "xmlobj/body_release.h"
#include "xmlobj/subtree_walk.h"

namespace tqcore {

bool CXMLObject::Realloc() {
    if (!m_pO) return true;
    bool result = true;
    const bool walked = detail::WalkSubtree(
        *this,
        [&](CXMLObject& node) {
            CXMLObjectBody* old = node.m_pO;
            if (old->m_lRefCnt.load(std::memory_order_acquire) > 1) {
                CXMLObjectBody* copy = detail::NewBody(old->m_Name, old->m_uType);
                if (!copy) {
                    if (&node == this) result = false;
                    return false;
                }
                copy->m_Attribs = old->m_Attribs;
                copy->m_Elements = old->m_Elements;
                copy->m_Data = old->m_Data;
                node.m_pO = copy;
                release(old);
            }
            const bool ok = node.m_pO->m_Elements.makeBlockPrivate();
            if (!ok && &node == this) result = false;
            return ok;
        },
        [&](CXMLObject& node) {
            const bool ok = node.m_pO->m_Attribs.m_mem.clone();
            if (&node == this) result = ok;
        });
    return walked && result;
}

bool CXMLObject::Compact() {
    if (!m_pO) return true;
    bool result = true;
    const bool walked = detail::WalkSubtree(
        *this,
        [&](CXMLObject& node) {
            const bool ok = node.m_pO->m_Elements.shrinkBlock();
            if (!ok && &node == this) result = false;
            return ok;
        },
        [&](CXMLObject& node) {
            const bool ok = node.m_pO->m_Attribs.Compact();
            if (&node == this) result = ok;
        });
    return walked && result;
}

void CXMLObject::GetMemUsage(std::uint64_t& used, std::uint64_t& spare) const {
    if (!m_pO) return;
    // The walk only reads; it takes a mutable root to share one walker.
    detail::WalkSubtree(
        const_cast<CXMLObject&>(*this),
        [&](CXMLObject&) {
            used += sizeof(CXMLObjectBody);
            return true;
        },
        [&](CXMLObject& node) {
            const CPObjectMemory& children = node.m_pO->m_Elements.m_mem;
            spare += children.GetAllocSize() - children.GetSize();
            node.m_pO->m_Attribs.GetMemUsage(used, spare);
        });
}

}  // namespace tqcore
