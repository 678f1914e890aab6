#pragma once
// UTF-16 text to UTF-8 for messages.
#include <string>

namespace tqplat {

// Null gives an empty string; invalid sequences become U+FFFD.
std::string Utf8FromWide(const unsigned short* text);

}  // namespace tqplat
