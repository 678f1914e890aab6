#pragma once
// Flag maps: the rows that name the bits of a 32-bit flag set, so that flag
// sets read as names in XML ("bold|italic|0x00000100").
#include <cstdint>

#include "tqcore/pool.h"

namespace tqcore {

// One row of a caller-owned flag map. A value of 0 makes the row inert; an
// empty name lets the row take its bits without writing anything. When
// writing, rows are tried in order and each takes its bits out of the rest,
// so the first matching row wins.
struct tagXMLFLAGMAP {
    std::uint32_t uFlag;
    CPPoolString Name;
};

}  // namespace tqcore
