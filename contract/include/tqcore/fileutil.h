#pragma once
// Path helpers over UTF-16 paths; '/' separates directories.
#include "tqcore/export.h"

namespace tqcore {

// The last '/' (or '\\', for paths written the Windows way) of a terminated
// path, or null (also for a null path).
TQCORE_API unsigned short* FU_FindLastSeparator(unsigned short* path);

// Creates every missing directory of `directory`, like mkdir -p. True when
// the whole path exists as directories afterwards; false for a null or empty
// path, or when a part of it is not a directory or cannot be made.
TQCORE_API bool FU_CreatePath(const unsigned short* directory);

// Writes the full name of the file open on `handle` into `buffer`, at most
// `capacity` units with the terminator. False (buffer emptied when it has
// room) when the handle is invalid, the name is not known or does not fit.
TQCORE_API bool FU_FilenameFromHandle(void* handle, unsigned short* buffer, unsigned int capacity);

}  // namespace tqcore
