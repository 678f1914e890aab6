#pragma once
// Converters behind MultiByteToWideChar / WideCharToMultiByte. Each one runs
// in two modes: with a null target it only counts, otherwise it writes at
// most `capacity` units. They return the count, or one of the markers below.
#include <cstddef>
#include <cstdint>

namespace tqplat::codepage {

// The target is too small for the converted text.
constexpr std::size_t kNoRoom = static_cast<std::size_t>(-1);
// The source holds a sequence that has no conversion and the caller asked
// for a failure instead of a replacement.
constexpr std::size_t kInvalid = static_cast<std::size_t>(-2);

constexpr unsigned short kReplacement = 0xFFFD;

std::size_t Utf8ToUtf16(const unsigned char* source, std::size_t length, unsigned short* target,
                        std::size_t capacity, bool failOnInvalid);
std::size_t Utf16ToUtf8(const unsigned short* source, std::size_t length, unsigned char* target,
                        std::size_t capacity, bool failOnInvalid);

// Windows-1252, every byte defined (the five holes map to U+0081 etc.).
unsigned short Cp1252ToUnit(unsigned char byte);
// The byte for `unit`, or -1 when Windows-1252 has no such character.
int UnitToCp1252(unsigned short unit);

std::size_t Cp1252ToUtf16(const unsigned char* source, std::size_t length, unsigned short* target,
                          std::size_t capacity);
// Characters without a byte become `defaultByte`; `usedDefault` is set then.
std::size_t Utf16ToCp1252(const unsigned short* source, std::size_t length, unsigned char* target,
                          std::size_t capacity, unsigned char defaultByte, bool* usedDefault);

}  // namespace tqplat::codepage
