#pragma once
// UTF-16 text to and from UTF-8 for messages and module paths.
#include <string>
#include <vector>

namespace tqplat {

// Null gives an empty string; invalid sequences become U+FFFD.
std::string Utf8FromWide(const unsigned short* text);
// The UTF-16 form of `text`, terminator included.
std::vector<unsigned short> WideFromUtf8(const std::string& text);

}  // namespace tqplat
