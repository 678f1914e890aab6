#pragma once
// The node and attribute records of a tree, shared by the image writer and
// the packed objects.
#include "tqcore/stream.h"
#include "tqxml/xmlnode.h"
#include "xmlobj/string_table.h"

namespace tqcore {

class CXMLImageWriter {
  public:
    // Appends the records of `node` and its subtree to `stream` and collects
    // their strings. False for a null node, when the stream or the table
    // cannot grow, or when a count does not fit its field (more than 65535
    // attributes, 2^31 children or more). Null children are left out; a node
    // with both children and data is written with its data only.
    static bool WriteNode(CPFMemoryStream& stream, const CXMLObject& node,
                          image::StringCollector& strings) noexcept;

  private:
    struct ChildrenFrame;
    static bool writeOne(CPFMemoryStream& stream, const CXMLObjectBody& node,
                         image::StringCollector& strings, ChildrenFrame& frame) noexcept;
};

}  // namespace tqcore
