#pragma once
// Code-page conversion with the Windows calling conventions: a source length
// of -1 counts the terminator; a null output buffer (or size 0) asks for the
// size; invalid UTF-8 becomes U+FFFD unless MB_ERR_INVALID_CHARS is given.
// CP_ACP is Windows-1252 on every platform.
#include <cstdint>

#include "tqplatform/export.h"

namespace tqplat {

constexpr std::uint32_t CP_ACP = 0;
constexpr std::uint32_t CP_UTF8 = 65001;
constexpr std::uint32_t CP_1252 = 1252;
constexpr std::uint32_t MB_ERR_INVALID_CHARS = 0x08;
constexpr std::uint32_t WC_ERR_INVALID_CHARS = 0x80;

// Returns the number of UTF-16 units written (or needed); 0 on failure, with
// GetLastError 87 (bad argument), 122 (buffer too small) or 1113 (invalid input).
TQPLATFORM_API int MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags,
                                       const char* source, int sourceLength, unsigned short* target,
                                       int targetLength);
// Returns the number of bytes written (or needed); 0 on failure as above.
TQPLATFORM_API int WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags,
                                       const unsigned short* source, int sourceLength, char* target,
                                       int targetLength, const char* defaultChar,
                                       bool* usedDefaultChar);

}  // namespace tqplat
