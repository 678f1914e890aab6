#pragma once
// Paths arrive as main's arguments, in the ANSI code page.
#include <string>

namespace tqxmltool {

std::wstring WidePath(const std::string& path);

}  // namespace tqxmltool
