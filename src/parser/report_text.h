#pragma once
// Appends formatted text to a fixed report buffer without writing past it.
#include <cstddef>

namespace tqcore::parser {

// Units of the report buffer a parse error is formatted into.
constexpr std::size_t kReportUnits = 2048;
// Room kept for the dump after the head: a line number, an excerpt of at most
// 64 + 16 units and the caret line repeating up to 64 of them.
constexpr std::size_t kDumpUnits = 512;

// Formats at `out` (holding `room` units) and returns the units written; text
// that does not fit leaves `out` empty and returns 0.
std::size_t AppendReport(unsigned short* out, std::size_t room, const char16_t* format, ...);

}  // namespace tqcore::parser
