// Code-page conversion: the system's own. CP_ACP stays Windows-1252 whatever
// the system's ANSI code page, so that narrow text reads the same everywhere.
#include "tqplatform/codepage.h"

#include <windows.h>

namespace tqplat {
namespace {

UINT SystemCodePage(std::uint32_t codePage) {
    return codePage == 0 ? 1252 : codePage;
}

}  // namespace

int MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* source,
                        int sourceLength, unsigned short* target, int targetLength) {
    return ::MultiByteToWideChar(SystemCodePage(codePage), flags, source, sourceLength,
                                 reinterpret_cast<LPWSTR>(target), targetLength);
}

int WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const unsigned short* source,
                        int sourceLength, char* target, int targetLength, const char* defaultChar,
                        bool* usedDefaultChar) {
    // UTF-8 takes neither a default character nor its flag.
    const bool utf8 = codePage == 65001;
    BOOL used = FALSE;
    const int result =
        ::WideCharToMultiByte(SystemCodePage(codePage), flags, reinterpret_cast<LPCWCH>(source),
                              sourceLength, target, targetLength, utf8 ? nullptr : defaultChar,
                              utf8 || usedDefaultChar == nullptr ? nullptr : &used);
    if (usedDefaultChar != nullptr) *usedDefaultChar = used != FALSE;
    return result;
}

}  // namespace tqplat
