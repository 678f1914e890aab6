#pragma once
// The UTF-16 text of the library as UTF-8 for the terminal.
#include <string>

namespace tqxmltool {

std::string Utf8(const unsigned short* text, std::size_t count);
std::string Utf8(const unsigned short* text);

}  // namespace tqxmltool
