#pragma once
// The descriptor behind a file handle.
#include "tqplatform/files.h"

namespace tqplat {

// The open descriptor `h` carries, or -1 with last error 6 for null,
// INVALID_HANDLE_VALUE, a value that is no descriptor or a closed one.
int OpenDescriptor(HANDLE h);

}  // namespace tqplat
