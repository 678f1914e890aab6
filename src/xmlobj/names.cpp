// The name rule and the renaming operations.
#include "tqxml/xmlcharclass.h"
#include "tqxml/xmlnode.h"

namespace tqcore {
namespace {

template <class Unit, class Widen>
bool FollowsNameRule(const Unit* name, Widen widen) noexcept {
    if (!name || !*name || !IsXMLNameStartChar(widen(*name))) return false;
    for (const Unit* p = name + 1; *p; ++p)
        if (!IsXMLNameChar(widen(*p))) return false;
    return true;
}

}  // namespace

bool CXMLObject::IsValidName(const char* name) const noexcept {
    return FollowsNameRule(name, XMLUnitFromChar);
}

bool CXMLObject::IsValidName(const unsigned short* name) const noexcept {
    return FollowsNameRule(name, [](unsigned short c) { return c; });
}

bool CXMLObject::SetName(const CPPoolString& name) {
    return IsValidName(static_cast<const unsigned short*>(name)) &&
           setNameType(name, CXML_TYPE_EMPTY);
}

bool CXMLObject::SetNameType(const CPPoolString& name, unsigned int /*type*/) {
    return SetName(name);
}

bool CXMLObject::Rename(const CPPoolString& name) {
    if (!m_pO || !IsValidName(static_cast<const unsigned short*>(name))) return false;
    m_pO->m_Name = name;
    return true;
}

}  // namespace tqcore
