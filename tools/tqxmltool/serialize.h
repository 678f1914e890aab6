#pragma once
// Writing a tree as indented UTF-16 XML into memory, so that the bytes reach
// their destination only through writes the tool checks itself.
#include <tqxml/tqxml.h>

#include <string>

namespace tqxmltool {

struct Serialized {
    bool ok = false;
    // Byte-order mark, the declaration if asked for, then the indented tree:
    // the text a file sink writes.
    std::u16string text;
    double milliseconds = 0;
};

// Writes the top-level nodes below the document root `tree`.
Serialized Serialize(const tqcore::CXMLObject& tree, bool declaration);

}  // namespace tqxmltool
