#include "xmlobj/block_ops.h"

#include <cstring>
#include <utility>

namespace tqcore::detail {

bool ReplaceBlock(CPObjectMemory& mem, std::uint64_t allocBytes, const tagCPOVTABL* vtbl,
                  bool moveWhenSole) {
    const std::uint64_t used = mem.GetSize();
    CPObjectMemory block;
    if (!block.Prealloc(allocBytes, vtbl)) return false;
    void* to = block;
    const void* from = mem;
    if (moveWhenSole && mem.GetHolders() == 1) {
        if (used) std::memcpy(to, from, static_cast<std::size_t>(used));
        mem.SetSize(0);  // the old block goes without finalizing what moved
    } else if (used) {
        vtbl->pfnClone(to, from, used);
    }
    block.SetSize(used);
    mem = std::move(block);
    return true;
}

}  // namespace tqcore::detail
