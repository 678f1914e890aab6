#pragma once
// Converting text of a named encoding to UTF-16LE, through the system's own
// converters.
#include <cstddef>
#include <string>
#include <vector>

#include "encoding.h"

namespace tqxmltool {

// The library measures text and terminator in 32 bits.
constexpr std::size_t kMaxTextBytes = 0xFFFFFFFDu;

// Converts `in` to UTF-16LE into `result.text`; false with the reason in
// `result.problem` (an unknown encoding, a broken sequence, too large).
bool ToUtf16(const std::string& encoding, const std::vector<unsigned char>& in,
             DecodedText& result);

}  // namespace tqxmltool
