// The XML text of a node, through a memory sink.
#include "tqxml/xmlnode.h"
#include "tqxml/xmlout.h"

namespace tqcore {

// A node that cannot be written gives the empty string, never part of its text.
CPPoolString CXMLObject::GetContent() const {
    if (IsDefault()) return CPPoolString::pempty;
    CXMLMemOut sink;
    if (!sink.Open() || !sink.Write(*this) || !sink.Close(false)) return CPPoolString::pempty;
    return CStringPool::GetStringRef(static_cast<const unsigned short*>(sink));
}

}  // namespace tqcore
