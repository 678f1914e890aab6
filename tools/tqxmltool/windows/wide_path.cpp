#include "windows/wide_path.h"

#include <windows.h>

namespace tqxmltool {

std::wstring WidePath(const std::string& path) {
    const int units = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(units > 0 ? static_cast<std::size_t>(units) : 1, L'\0');
    if (units > 0) MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), units);
    wide.pop_back();
    return wide;
}

}  // namespace tqxmltool
