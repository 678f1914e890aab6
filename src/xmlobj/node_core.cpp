// The node core: the node factory with its narrow-text
// converters, and the operations and queries on a whole node.
#include <new>

#include "module/module.h"
#include "module/reports.h"
#include "tqcore/wtext.h"
#include "tqplatform/codepage.h"
#include "tqxml/xmlnode.h"
#include "tqxml/xmlsubmit.h"
#include "xmlobj/body_release.h"
#include "xmlobj/subtree_walk.h"

namespace tqcore {
namespace {

// A new body from the node heap, or null when the heap is exhausted.
CXMLObjectBody* NewBody(CPPoolString name, unsigned int type) noexcept {
    void* block = module::XMLObjectHeap().Alloc();
    return block ? new (block) CXMLObjectBody(std::move(name), type) : nullptr;
}

bool HoldsNothing(const CXMLObjectBody& body) noexcept {
    return !body.m_Elements.HasBlock() && !body.m_Attribs.HasBlock() && !body.m_Data;
}

}  // namespace

const unsigned short* const CXML_TYPE_NAMES[4] = {
    W(u"CXML_TYPE_EMPTY"),
    W(u"CXML_TYPE_ELEMENT"),
    W(u"CXML_TYPE_DATA"),
    W(u"CXML_TYPE_PROCESS"),
};

// Narrow text becomes UTF-16 through the code page it is written in.
CCodePageStringSubmitter::CCodePageStringSubmitter(const char* source, unsigned int codePage)
    : m_pSource(source), m_uCodePage(codePage), m_uLength(0) {
    if (!source) return;
    int units = tqplat::MultiByteToWideChar(codePage, 0, source, -1, nullptr, 0);
    if (units > 0) m_uLength = static_cast<unsigned int>(units - 1);
}

bool CCodePageStringSubmitter::Submit(unsigned short* buffer) {
    if (!m_pSource || !buffer) return false;
    int wanted = static_cast<int>(m_uLength + 1);
    return tqplat::MultiByteToWideChar(m_uCodePage, 0, m_pSource, -1, buffer, wanted) == wanted;
}

CAnsiStringSubmitter::CAnsiStringSubmitter(const char* source)
    : CCodePageStringSubmitter(source, tqplat::CP_ACP) {}

CUtf8StringSubmitter::CUtf8StringSubmitter(const unsigned char* source)
    : CCodePageStringSubmitter(reinterpret_cast<const char*>(source), tqplat::CP_UTF8) {}

CXMLObject::CXMLObject(const CPPoolString& name) : m_pO(nullptr) {
    setNameType(name, CXML_TYPE_EMPTY);
}

void CXMLObject::_decrement() noexcept {
    release(m_pO);
}

void CXMLObject::lastRelease(CXMLObjectBody* body, std::int32_t before) noexcept {
    if (before < 1) {
        reports::Assumption(reports::kXmlObj, "m_pO->m_lRefCnt >= 1", reports::kLineDecrement,
                            "void tqcore::CXMLObject::_decrement()");
        return;  // the decrement went ahead and did not reach 0
    }
    xmlobj::ReleaseBody(body);
}

bool CXMLObject::setNameType(CPPoolString name, unsigned int type) {
    if (!name) {
        reports::Assumption(reports::kXmlObj, "pName", reports::kLineSetNameType,
                            __PRETTY_FUNCTION__);
        Free();
        return false;
    }
    CXMLObjectBody* body = NewBody(std::move(name), type);
    Free();
    m_pO = body;
    return body != nullptr;
}

bool CXMLObject::nameEmpty(CPPoolString name) noexcept {
    m_pO = NewBody(std::move(name), CXML_TYPE_EMPTY);
    return m_pO != nullptr;
}

bool CXMLObject::setNameType(const char* name, unsigned int type) {
    CAnsiStringSubmitter text(name);
    return setNameType(CStringPool::GetStringRef(text), type);
}

bool CXMLObject::setNameType(const unsigned char* name, unsigned int type) {
    CUtf8StringSubmitter text(name);
    return setNameType(CStringPool::GetStringRef(text), type);
}

bool CXMLObject::setNameType(const unsigned short* name, unsigned int type) {
    return setNameType(CStringPool::GetStringRef(name), type);
}

bool CXMLObject::adoptChildren(CXMLObject* from, std::size_t n) noexcept {
    if (n == 0) return true;
    if (!m_pO || n > 0xFFFFFFFFu || !m_pO->m_Elements.adopt(from, static_cast<unsigned int>(n)))
        return false;
    afterChildAdded();
    return true;
}

bool CXMLObject::adoptAttributes(CXMLAttribute* from, std::size_t n) noexcept {
    if (n == 0) return true;
    return m_pO && n <= 0xFFFFFFFFu && m_pO->m_Attribs.adopt(from, static_cast<unsigned int>(n));
}

void CXMLObject::Free() noexcept {
    _decrement();
    m_pO = nullptr;
}

void CXMLObject::Reset() noexcept {
    if (!m_pO) return;
    m_pO->m_Attribs.m_mem.free();
    m_pO->m_Elements.m_mem.free();
    m_pO->m_Data.Free();
    m_pO->m_uType = CXML_TYPE_EMPTY;
}

void CXMLObject::Reassign(const CXMLObject& o) {
    *this = o;
    Realloc();
}

CPPoolString CXMLObject::GetName() const noexcept {
    return m_pO ? m_pO->m_Name : CPPoolString();
}

unsigned int CXMLObject::GetType() const noexcept {
    return m_pO ? m_pO->m_uType : 0xFFFFFFFFu;
}

bool CXMLObject::IsDefault() const noexcept {
    return !m_pO || (!m_pO->m_Name && HoldsNothing(*m_pO));
}

bool CXMLObject::IsNamedDefault() const noexcept {
    return m_pO && m_pO->m_Name && HoldsNothing(*m_pO);
}

bool CXMLObject::IsName(const CPPoolString& name) const noexcept {
    return m_pO && name == m_pO->m_Name;
}

bool CXMLObject::IsData(const CPPoolString& text) const noexcept {
    return m_pO && text == m_pO->m_Data;
}

std::int64_t GetXMLObjectBodyCount() noexcept {
    return module::XMLObjectHeap().GetUsedCount();
}

bool CXMLObject::Realloc() {
    if (!m_pO) return true;
    bool result = true;
    const bool walked = detail::WalkSubtree(
        *this,
        [&](CXMLObject& node) {
            CXMLObjectBody* old = node.m_pO;
            if (old->m_lRefCnt.load(std::memory_order_acquire) > 1) {
                CXMLObjectBody* copy = NewBody(old->m_Name, old->m_uType);
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
