#include "tree_stats.h"

#include <utility>
#include <vector>

namespace tqxmltool {

TreeStats Measure(const tqcore::CXMLObject& root) {
    TreeStats stats;
    root.GetMemUsage(stats.memoryUsed, stats.memorySpare);
    std::vector<std::pair<const tqcore::CXMLObject*, std::uint64_t>> pending{{&root, 0}};
    while (!pending.empty()) {
        auto [node, depth] = pending.back();
        pending.pop_back();
        if (depth > 0) {
            ++stats.elements;
            stats.attributes += node->GetNAttributes();
            if (node->GetType() & tqcore::CXML_TYPE_DATA) ++stats.dataNodes;
            if (depth > stats.maxDepth) stats.maxDepth = depth;
        }
        for (unsigned int i = 0; const tqcore::CXMLObject* child = node->item(i); ++i)
            pending.emplace_back(child, depth + 1);
    }
    return stats;
}

}  // namespace tqxmltool
