// Handles, the node factory and whole-node queries.
#include "module/reports.h"
#include "tqxml/xmlnode.h"
#include "tqxml/xmlsubmit.h"
#include "xmlobj/body_release.h"

namespace tqcore {
namespace {

bool HoldsNothing(const CXMLObjectBody& body) noexcept {
    return !body.m_Elements.HasBlock() && !body.m_Attribs.HasBlock() && !body.m_Data;
}

}  // namespace

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
    detail::ReleaseBody(body);
}

bool CXMLObject::setNameType(const CPPoolString& name, unsigned int type) {
    if (!name) {
        reports::Assumption(reports::kXmlObj, "pName", reports::kLineSetNameType,
                            __PRETTY_FUNCTION__);
        Free();
        return false;
    }
    // The new body is made before the old one goes: `name` may live in it.
    CXMLObjectBody* body = detail::NewBody(name, type);
    Free();
    m_pO = body;
    return body != nullptr;
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

}  // namespace tqcore
