// Tag builders: a new child element with a name and one typed value, added
// to a node or made its only content.
#include "tqxml/xmlnode.h"

namespace tqcore {

template <class... Value>
xmlret CXMLObject::addTag(bool replace, const CPPoolString& name, const Value&... value) {
    if (!IsValidName(static_cast<const unsigned short*>(name))) return xmlret();
    // The child is complete before this node is touched, so a failure
    // leaves this node as it was.
    CXMLObject child(name);
    if (!child) return xmlret();
    if constexpr (sizeof...(Value) > 0) {
        if (!child.Add(value...)) return xmlret();
    }
    return replace ? Set(child) : Add(child);
}

xmlret CXMLObject::AddTag(const CPPoolString& name) {
    return addTag(false, name);
}
xmlret CXMLObject::AddTag(const CPPoolString& name, const CPPoolString& value) {
    return addTag(false, name, value);
}
xmlret CXMLObject::SetTag(const CPPoolString& name, const CPPoolString& value) {
    return addTag(true, name, value);
}
xmlret CXMLObject::AddTag(const CPPoolString& name, const unsigned short* value) {
    return addTag(false, name, value);
}
xmlret CXMLObject::SetTag(const CPPoolString& name, const unsigned short* value) {
    return value ? addTag(true, name, value) : xmlret();
}
xmlret CXMLObject::AddTag(const CPPoolString& name, const CGUID& value) {
    return addTag(false, name, value);
}
xmlret CXMLObject::SetTag(const CPPoolString& name, const CGUID& value) {
    return addTag(true, name, value);
}
xmlret CXMLObject::AddTag(const CPPoolString& name, const filetime& value) {
    return addTag(false, name, value);
}
xmlret CXMLObject::SetTag(const CPPoolString& name, const filetime& value) {
    return addTag(true, name, value);
}
xmlret CXMLObject::AddTag(const CPPoolString& name, const mtime& value) {
    return addTag(false, name, value);
}
xmlret CXMLObject::SetTag(const CPPoolString& name, const mtime& value) {
    return addTag(true, name, value);
}
xmlret CXMLObject::AddTag(const CPPoolString& name, bool value) {
    return addTag(false, name, value);
}
xmlret CXMLObject::SetTag(const CPPoolString& name, bool value) {
    return addTag(true, name, value);
}
xmlret CXMLObject::AddTag(const CPPoolString& name, const timecode& value) {
    return addTag(false, name, value);
}
xmlret CXMLObject::SetTag(const CPPoolString& name, const timecode& value) {
    return addTag(true, name, value);
}
xmlret CXMLObject::AddTag(const CPPoolString& name, const double& value) {
    return addTag(false, name, value);
}
xmlret CXMLObject::AddTag(const CPPoolString& name, const unsigned char* bytes,
                          unsigned int count) {
    return addTag(false, name, bytes, count);
}
xmlret CXMLObject::SetTag(const CPPoolString& name, const unsigned char* bytes,
                          unsigned int count) {
    return addTag(true, name, bytes, count);
}
xmlret CXMLObject::AddTag(const CPPoolString& name, std::uint32_t flags, const tagXMLFLAGMAP* map,
                          unsigned int rows, unsigned short separator) {
    return addTag(false, name, flags, map, rows, separator);
}
xmlret CXMLObject::SetTag(const CPPoolString& name, std::uint32_t flags, const tagXMLFLAGMAP* map,
                          unsigned int rows, unsigned short separator) {
    return addTag(true, name, flags, map, rows, separator);
}

}  // namespace tqcore
