#pragma once
// Helpers shared by the platform tests: UTF-16 text as the interface takes it,
// and the error code of a failed call.
#include <string>

#include "support/temp_dir.h"
#include "tqplatform/files.h"

namespace tqplat {

// ASCII as UTF-16, a plain widening.
inline std::u16string Wide(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}
inline const unsigned short* U(const std::u16string& s) {
    return reinterpret_cast<const unsigned short*>(s.c_str());
}
inline std::u16string FromU(const unsigned short* s) {
    return reinterpret_cast<const char16_t*>(s);
}
constexpr std::uint32_t R = GENERIC_READ, W = GENERIC_WRITE;
constexpr std::uint32_t SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE;

inline HANDLE OpenName(const std::u16string& name, std::uint32_t access, std::uint32_t share,
                       std::uint32_t disposition) {
    return CreateFileW(U(name), access, share, nullptr, disposition, 0, nullptr);
}
// The last error when the call just made `failed` (~0u when it succeeded),
// cleared so that the next call's code is its own.
inline std::uint32_t TakeError(bool failed) {
    const std::uint32_t error = failed ? GetLastError() : ~0u;
    SetLastError(0);
    return error;
}

}  // namespace tqplat
