#pragma once
// UTF-8 text of the terminal and the UTF-16 text of the library.
#include <string>

namespace tqxmltool {

std::u16string Utf16(const std::string& utf8);
std::string Utf8(const unsigned short* text, std::size_t count);
std::string Utf8(const unsigned short* text);

}  // namespace tqxmltool
