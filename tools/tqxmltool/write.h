#pragma once
// Writing a tree as indented XML.
#include <tqxml/tqxml.h>

#include <string>

namespace tqxmltool {

struct WriteResult {
    bool ok = false;
    std::uint64_t bytes = 0;  // UTF-16 output, byte-order mark included
    double milliseconds = 0;
};

// Indented UTF-16 XML with byte-order mark and declaration, into a file.
WriteResult WriteFile(const tqcore::CXMLObject& tree, const std::string& path);
// The same text as UTF-8 on standard output, without mark and declaration.
WriteResult WriteStdout(const tqcore::CXMLObject& tree);

}  // namespace tqxmltool
