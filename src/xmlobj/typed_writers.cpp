// Typed writers of a node's data and of attributes: each forms the value's
// text once and hands it to the plain string operation.
#include "tqxml/xmlnode.h"
#include "xmlobj/value_forms.h"

namespace tqcore {

using namespace valueforms;

bool CXMLObject::Add(bool value) {
    return Add(BoolText(value));
}
bool CXMLObject::Set(bool value) {
    return Set(BoolText(value));
}
bool CXMLObject::Add(const CGUID& value) {
    return Add(value.GetString());
}
bool CXMLObject::Set(const CGUID& value) {
    return Set(value.GetString());
}
bool CXMLObject::Add(const filetime& value) {
    return Add(FileTimeText(value).c_str());
}
bool CXMLObject::Set(const filetime& value) {
    return Set(FileTimeText(value).c_str());
}
bool CXMLObject::Add(const timecode& value) {
    return Add(TimecodeText(value).c_str());
}
bool CXMLObject::Set(const timecode& value) {
    return Set(TimecodeText(value).c_str());
}
bool CXMLObject::Add(const double& value) {
    return Add(EDoubleText(value).c_str());
}
bool CXMLObject::Set(const double& value) {
    return Set(EDoubleText(value).c_str());
}
bool CXMLObject::Add(const mtime& value) {
    return Add(static_cast<double>(value));
}
bool CXMLObject::Set(const mtime& value) {
    return Set(static_cast<double>(value));
}

bool CXMLObject::Add(const unsigned char* bytes, unsigned int count) {
    if (!bytes || count == 0) return true;
    const ByteText text(bytes, count);
    return text.c_str() && Add(text.c_str());
}

bool CXMLObject::Set(const unsigned char* bytes, unsigned int count) {
    if (m_pO) DeleteContent();  // removed before the text is formed
    return Add(bytes, count);
}

bool CXMLObject::AddAttribute(const CPPoolString& name, const unsigned short* value) {
    return IsValidName(static_cast<const unsigned short*>(name)) &&
           addAttribute(name, CStringPool::GetStringRef(value));
}
bool CXMLObject::SetAttribute(const CPPoolString& name, const unsigned short* value) {
    const CPPoolString text = CStringPool::GetStringRef(value);  // `value` may be the old one
    return DeleteAttribute(name) && addAttribute(name, text);
}
bool CXMLObject::AddAttribute(const CPPoolString& name, bool value) {
    return AddAttribute(name, BoolText(value));
}
bool CXMLObject::SetAttribute(const CPPoolString& name, bool value) {
    return SetAttribute(name, BoolText(value));
}
bool CXMLObject::AddAttribute(const CPPoolString& name, const CGUID& value) {
    return AddAttribute(name, value.GetString());
}
bool CXMLObject::SetAttribute(const CPPoolString& name, const CGUID& value) {
    return SetAttribute(name, value.GetString());
}
bool CXMLObject::AddAttribute(const CPPoolString& name, const filetime& value) {
    return AddAttribute(name, FileTimeText(value).c_str());
}
bool CXMLObject::SetAttribute(const CPPoolString& name, const filetime& value) {
    return SetAttribute(name, FileTimeText(value).c_str());
}
bool CXMLObject::AddAttribute(const CPPoolString& name, const timecode& value) {
    return AddAttribute(name, TimecodeText(value).c_str());
}
bool CXMLObject::SetAttribute(const CPPoolString& name, const timecode& value) {
    return SetAttribute(name, TimecodeText(value).c_str());
}
bool CXMLObject::AddAttribute(const CPPoolString& name, const double& value) {
    return AddAttribute(name, EDoubleText(value).c_str());
}
bool CXMLObject::SetAttribute(const CPPoolString& name, const double& value) {
    return SetAttribute(name, EDoubleText(value).c_str());
}
bool CXMLObject::AddAttribute(const CPPoolString& name, const mtime& value) {
    return AddAttribute(name, static_cast<double>(value));
}
bool CXMLObject::SetAttribute(const CPPoolString& name, const mtime& value) {
    return SetAttribute(name, static_cast<double>(value));
}

}  // namespace tqcore
