#include "wide_text.h"

#include "tqplatform/codepage.h"

namespace tqplat {

std::string Utf8FromWide(const unsigned short* text) {
    if (text == nullptr) return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string result(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), bytes, nullptr, nullptr);
    result.pop_back();  // the converted terminator
    return result;
}

}  // namespace tqplat
