#pragma once
// Figures about a parsed tree.
#include <tqxml/tqxml.h>

#include <cstdint>

namespace tqxmltool {

struct TreeStats {
    std::uint64_t elements = 0;
    std::uint64_t attributes = 0;
    std::uint64_t dataNodes = 0;
    std::uint64_t maxDepth = 0;
    std::uint64_t memoryUsed = 0;
    std::uint64_t memorySpare = 0;
};

// Counts the nodes below `root` (the root itself not counted), without
// recursion, so any depth is fine.
TreeStats Measure(const tqcore::CXMLObject& root);

}  // namespace tqxmltool
