#pragma once
// File names are UTF-16 at the API and bytes at the system. Valid UTF-8 maps
// to its text; every other byte 0xXY maps to the lone surrogate U+DCXY and
// back, so every name the system lists can be named and opened again.
#include <cstdint>
#include <string>

#include "tqplatform/export.h"

namespace tqplat {

// Windows' limit on a path, terminator included. Longer paths are refused,
// never shortened.
constexpr std::uint32_t MAX_PATH = 260;

// The system's bytes for `name`. False with last error 123 when the name has
// no byte form: a surrogate outside a pair other than U+DC80..U+DCFF, or
// such escapes spelling valid UTF-8 (the text they spell is that name).
TQPLATFORM_API bool NativeFileName(const unsigned short* name, std::string& bytes);
// The UTF-16 name of the system's bytes.
TQPLATFORM_API std::u16string WideFileName(const std::string& bytes);

}  // namespace tqplat
