// Attribute operations of a node.
#include "tqxml/xmlnode.h"
#include "tqxml/xmlsubmit.h"

namespace tqcore {

bool CXMLObject::addAttribute(const CPPoolString& name, const CPPoolString& value) {
    if (!m_pO || !name || value.isnull()) return false;
    if (HasAttribute(name)) return false;
    return m_pO->m_Attribs.Add(name, value);
}

bool CXMLObject::addAttribute(const char* name, const char* value) {
    if (!m_pO || !name || !value) return false;
    CAnsiStringSubmitter nameText(name), valueText(value);
    return addAttribute(CStringPool::GetStringRef(nameText), CStringPool::GetStringRef(valueText));
}

bool CXMLObject::addAttribute(const unsigned char* name, const unsigned char* value) {
    if (!m_pO || !name || !value) return false;
    CUtf8StringSubmitter nameText(name), valueText(value);
    return addAttribute(CStringPool::GetStringRef(nameText), CStringPool::GetStringRef(valueText));
}

bool CXMLObject::addAttribute(const unsigned short* name, const unsigned short* value) {
    if (!m_pO || !name || !value) return false;
    return addAttribute(CStringPool::GetStringRef(name), CStringPool::GetStringRef(value));
}

bool CXMLObject::AddAttribute(const CPPoolString& name, const CPPoolString& value) {
    return IsValidName(static_cast<const unsigned short*>(name)) && addAttribute(name, value);
}

bool CXMLObject::SetAttribute(const CPPoolString& name, const CPPoolString& value) {
    return DeleteAttribute(name) && addAttribute(name, value);
}

bool CXMLObject::DeleteAttribute(const CPPoolString& name) {
    return IsValidName(static_cast<const unsigned short*>(name)) && deleteAttribute(name);
}

bool CXMLObject::deleteAttribute(const CPPoolString& name) {
    if (!m_pO || !name) return true;
    return m_pO->m_Attribs.Delete(findAttribute(name));
}

unsigned int CXMLObject::findAttribute(const CPPoolString& name) const noexcept {
    unsigned int n;
    const CXMLAttribute* items = GetAttributes(n);
    unsigned int i = 0;
    while (i < n && !(items[i].m_Name == name)) ++i;
    return i;
}

bool CXMLObject::HasAttribute(const CPPoolString& name) const noexcept {
    return m_pO && name && findAttribute(name) < GetNAttributes();
}

CPPoolString CXMLObject::FindAttribute(const CPPoolString& name) const noexcept {
    if (!m_pO || !name) return CPPoolString();
    unsigned int n;
    const CXMLAttribute* items = GetAttributes(n);
    const unsigned int i = findAttribute(name);
    return i < n ? items[i].m_Value : CPPoolString();
}

bool CXMLObject::MergeAttributes(const CXMLObject& from, bool overwrite) {
    if (!m_pO) return false;
    if (!from.m_pO) return true;
    const CXMLAttribList source(from.m_pO->m_Attribs);  // stays put while this list grows
    unsigned int n;
    const CXMLAttribute* incoming = source.GetArray(n);
    for (unsigned int i = 0; i < n; ++i) {
        unsigned int have;
        CXMLAttribute* own = GetAttributes(have);
        const unsigned int j = findAttribute(incoming[i].m_Name);
        if (j == have)
            m_pO->m_Attribs.Add(incoming[i].m_Name, incoming[i].m_Value);
        else if (overwrite)
            own[j].m_Value = incoming[i].m_Value;
    }
    return true;
}

CXMLAttribute* CXMLObject::GetAttributes(unsigned int& count) noexcept {
    count = 0;
    return m_pO ? m_pO->m_Attribs.GetArray(count) : nullptr;
}

const CXMLAttribute* CXMLObject::GetAttributes(unsigned int& count) const noexcept {
    count = 0;
    return m_pO ? m_pO->m_Attribs.GetArray(count) : nullptr;
}

unsigned int CXMLObject::GetNAttributes() const noexcept {
    unsigned int count;
    GetAttributes(count);
    return count;
}

}  // namespace tqcore
