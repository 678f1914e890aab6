// Data text: adding, setting and deleting it in every text width.
#include "module/reports.h"
#include "tqxml/xmlnode.h"
#include "tqxml/xmlsubmit.h"

namespace tqcore {

void CXMLObject::afterDataAdded() noexcept {
    if (m_pO->m_uType == CXML_TYPE_EMPTY)
        m_pO->m_uType = CXML_TYPE_DATA;
    else if (m_pO->m_uType == CXML_TYPE_ELEMENT)
        m_pO->m_uType = CXML_TYPE_PROCESS;
}

bool CXMLObject::Add(const CPPoolString& text) {
    return takeData(text);
}

bool CXMLObject::takeData(CPPoolString text) {
    if (!m_pO) return false;
    if (m_pO->m_uType > CXML_TYPE_ELEMENT && m_pO->m_Data) return false;  // one data text per node
    if (text.len() == 0) return true;
    m_pO->m_Data = std::move(text);
    afterDataAdded();
    return true;
}

bool CXMLObject::Add(const char* text) {
    if (!text || !*text || !m_pO) return false;
    CAnsiStringSubmitter converted(text);
    return Add(CStringPool::GetStringRef(converted));
}

bool CXMLObject::Add(const unsigned char* text) {
    if (!text || !*text || !m_pO) return false;
    CUtf8StringSubmitter converted(text);
    return Add(CStringPool::GetStringRef(converted));
}

bool CXMLObject::Add(const unsigned short* text) {
    if (!text || !*text || !m_pO) return false;
    return Add(CStringPool::GetStringRef(text));
}

bool CXMLObject::Set(const CPPoolString& text) {
    if (!m_pO) return false;
    const CPPoolString keep(text);
    DeleteData();
    DeleteElements();
    return Add(keep);
}

bool CXMLObject::Set(const char* text) {
    if (!m_pO || !text) return false;
    DeleteData();
    DeleteElements();
    return Add(text);
}

bool CXMLObject::Set(const unsigned short* text) {
    if (!m_pO || !text) return false;
    const CPPoolString old(m_pO->m_Data);  // `text` may be the data about to go
    DeleteData();
    DeleteElements();
    return Add(text);
}

bool CXMLObject::DeleteData() {
    if (!m_pO) {
        reports::Assumption(reports::kXmlObj, "m_pO", reports::kLineDeleteData,
                            __PRETTY_FUNCTION__);
        return false;
    }
    if (!m_pO->m_Data) return true;
    m_pO->m_Data.Free();
    m_pO->m_uType = m_pO->m_Elements.HasBlock() ? CXML_TYPE_ELEMENT : CXML_TYPE_EMPTY;
    return true;
}

CPPoolString CXMLObject::GetData() const noexcept {
    return m_pO && m_pO->m_uType == CXML_TYPE_DATA ? m_pO->m_Data : CPPoolString();
}

}  // namespace tqcore
