// Child elements: adding, inserting, replacing, setting and deleting, with
// the node type kept current.
#include "module/reports.h"
#include "tqxml/xmlnode.h"

namespace tqcore {

xmlret CXMLObject::Add(const CXMLObject& o) {
    if (!m_pO || !o.m_pO || o.m_pO == m_pO) return xmlret();
    xmlret r = m_pO->m_Elements.Add(o);
    if (r) afterChildAdded();
    return r;
}

xmlret CXMLObject::Insert(const CXMLObject& o, unsigned int index) {
    if (!m_pO || !o.m_pO || o.m_pO == m_pO) return xmlret();
    xmlret r = m_pO->m_Elements.Insert(o, index);
    if (r) afterChildAdded();
    return r;
}

xmlret CXMLObject::Replace(const CXMLObject& o, unsigned int index) {
    CXMLObject* slot = item(index);
    if (!slot || !o.m_pO || o.m_pO == m_pO) return xmlret();
    *slot = o;
    return xmlret(index);
}

xmlret CXMLObject::Replace(const CXMLObject& o, CXMLObject* slot) {
    unsigned int n = 0;
    CXMLObject* first = m_pO ? m_pO->m_Elements.GetArray(n) : nullptr;
    for (unsigned int i = 0; i < n; ++i)
        if (first + i == slot) return Replace(o, i);
    return xmlret();
}

bool CXMLObject::CAdd(const CXMLObject& o) {
    if (!m_pO) return false;
    if (!o.m_pO || (!o.m_pO->m_Elements.HasBlock() && !o.m_pO->m_Attribs.HasBlock())) return true;
    return static_cast<bool>(Add(o));
}

bool CXMLObject::Add(const CXMLObjectList& list) {
    if (!m_pO || !list.HasBlock()) return false;
    if (!m_pO->m_Elements.Add(list)) return false;
    afterChildAdded();
    return true;
}

xmlret CXMLObject::Set(const CXMLObject& o) {
    if (!m_pO || !o.m_pO || o.m_pO == m_pO) return xmlret();
    const CXMLObject keep(o);  // `o` may be one of the children about to go
    DeleteData();
    DeleteElements();
    return Add(keep);
}

bool CXMLObject::Set(const CXMLObjectList& list) {
    if (!m_pO) return false;
    const CXMLObjectList keep(list);
    DeleteData();
    DeleteElements();
    m_pO->m_Elements = keep;
    if (keep.HasBlock()) m_pO->m_uType = CXML_TYPE_ELEMENT;
    return true;
}

bool CXMLObject::Delete(const CXMLObject* child) {
    if (!m_pO) {
        reports::Assumption(reports::kXmlObj, "m_pO", reports::kLineDelete, __PRETTY_FUNCTION__);
        return false;
    }
    unsigned int n;
    const CXMLObject* first = m_pO->m_Elements.GetArray(n);
    for (unsigned int i = 0; i < n; ++i)
        if (first + i == child) return m_pO->m_Elements.Delete(i);
    return false;
}

bool CXMLObject::DeleteElements() {
    if (!m_pO) {
        reports::Assumption(reports::kXmlObj, "m_pO", reports::kLineDeleteElements,
                            __PRETTY_FUNCTION__);
        return false;
    }
    unsigned int n;
    m_pO->m_Elements.GetArray(n);
    if (n == 0) return true;
    m_pO->m_Elements.m_mem.free();
    m_pO->m_uType = m_pO->m_Data ? CXML_TYPE_DATA : CXML_TYPE_EMPTY;
    return true;
}

bool CXMLObject::DeleteContent() {
    return m_pO && DeleteData() && DeleteElements();
}

const CXMLObject* CXMLObject::GetElements(unsigned int& count) const noexcept {
    count = 0;
    if (!m_pO || m_pO->m_uType != CXML_TYPE_ELEMENT) return nullptr;
    return m_pO->m_Elements.GetArray(count);
}

CXMLObject* CXMLObject::GetElements(unsigned int& count) noexcept {
    count = 0;
    if (!m_pO || m_pO->m_uType != CXML_TYPE_ELEMENT) return nullptr;
    return m_pO->m_Elements.GetArray(count);
}

const CXMLObject* CXMLObject::item(unsigned int index) const noexcept {
    if (!m_pO) return nullptr;
    unsigned int n;
    const CXMLObject* first = m_pO->m_Elements.GetArray(n);
    return index < n ? first + index : nullptr;
}

CXMLObject* CXMLObject::item(unsigned int index) noexcept {
    if (!m_pO) return nullptr;
    unsigned int n;
    CXMLObject* first = m_pO->m_Elements.GetArray(n);
    return index < n ? first + index : nullptr;
}

}  // namespace tqcore
