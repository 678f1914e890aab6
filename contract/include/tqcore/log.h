#pragma once
// The family's log. A message is formatted with the wide printf conventions
// (%s and %ls take UTF-16 strings, %hs narrow ones, %I64x 64-bit integers) in
// the "English" number locale and handed whole to the current sink.
#include "tqcore/export.h"

namespace tqcore {

// Message classes in use: 3/16 timings, 3/15 a path completing a timing
// line, 0/15 parse errors and processor faults, 3/4 dumps and echoed output.
TQCORE_API void wPrintf(unsigned int selector1, unsigned int selector2,
                        const unsigned short* format, ...);

// Receives every message (without a terminator of its own: the text carries
// whatever line breaks the format had). May be called on several threads.
using LogSink = void (*)(unsigned int selector1, unsigned int selector2,
                         const unsigned short* text);
// Returns the previous sink; null restores the default, which writes the text
// as UTF-8 to stderr.
TQCORE_API LogSink SetLogSink(LogSink sink);

// Longest message formatted, in UTF-16 units; a longer one (or a format that
// does not format) is logged as its unformatted format text.
constexpr unsigned int kMaxLogMessage = 1u << 20;

}  // namespace tqcore
