#pragma once
#include <cstdint>

#include "tqcore/objmem.h"

namespace tqcore::detail {

// Puts the used items of `mem` into a new block of `allocBytes` typed by
// `vtbl` and holds that instead. Items are copied through the table, or moved
// as raw bytes when `moveWhenSole` and nobody else holds the old block (the
// same end state without touching every item's count).
// False, with `mem` unchanged, when the new block cannot be had.
bool ReplaceBlock(CPObjectMemory& mem, std::uint64_t allocBytes, const tagCPOVTABL* vtbl,
                  bool moveWhenSole);

}  // namespace tqcore::detail
