#pragma once
// UTF-16 API paths to system paths, and the Windows code for a path that
// does not exist.
#include <cstdint>
#include <string>

namespace tqplat {

// Converts `name`; on failure sets the last error (87 null, 3 empty or
// MAX_PATH units or longer, as Windows refuses such paths, 123 no byte form).
bool NativePath(const unsigned short* name, std::string& path);

// 2 when the directory part exists (only the file is missing), else 3.
std::uint32_t MissingPathError(const std::string& path);

}  // namespace tqplat
