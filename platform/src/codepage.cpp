// MultiByteToWideChar / WideCharToMultiByte: argument rules, size queries and
// error codes as Windows gives them; the conversions are in codepage_*.cpp.
#include "tqplatform/codepage.h"

#include <climits>
#include <cstring>

#include "codepage_internal.h"
#include "tqplatform/files.h"

namespace tqplat {
namespace {

constexpr std::uint32_t kErrorInvalidFlags = 1004;
// Flags Windows accepts for a single-byte code page.
constexpr std::uint32_t kMbSingleByteFlags = 0x0F;  // precomposed, composite, glyph chars, fail
constexpr std::uint32_t kWcSingleByteFlags =
    0x0660;  // composite check, discard, sep chars, default char, no best fit

enum class Page { Ansi, Utf8, Unknown };

Page PageOf(std::uint32_t codePage) {
    if (codePage == CP_ACP || codePage == CP_1252) return Page::Ansi;
    if (codePage == CP_UTF8) return Page::Utf8;
    return Page::Unknown;
}

int Fail(std::uint32_t code) {
    SetLastError(code);
    return 0;
}

std::size_t WideLength(const unsigned short* s) {
    std::size_t n = 0;
    while (s[n] != 0) ++n;
    return n;
}

// Turns a converter's result into the Windows result.
int Finish(std::size_t count) {
    if (count == codepage::kNoRoom) return Fail(ERROR_INSUFFICIENT_BUFFER);
    if (count == codepage::kInvalid) return Fail(ERROR_NO_UNICODE_TRANSLATION);
    if (count > static_cast<std::size_t>(INT_MAX)) return Fail(ERROR_INVALID_PARAMETER);
    return static_cast<int>(count);
}

}  // namespace

int MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* source,
                        int sourceLength, unsigned short* target, int targetLength) {
    Page page = PageOf(codePage);
    if (page == Page::Unknown || source == nullptr || sourceLength == 0 || sourceLength < -1 ||
        targetLength < 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    std::uint32_t allowed = page == Page::Utf8 ? MB_ERR_INVALID_CHARS : kMbSingleByteFlags;
    if ((flags & ~allowed) != 0) return Fail(kErrorInvalidFlags);

    std::size_t length =
        sourceLength == -1 ? std::strlen(source) + 1 : static_cast<std::size_t>(sourceLength);
    unsigned short* out = targetLength == 0 ? nullptr : target;
    auto bytes = reinterpret_cast<const unsigned char*>(source);
    if (page == Page::Utf8) {
        return Finish(codepage::Utf8ToUtf16(bytes, length, out,
                                            static_cast<std::size_t>(targetLength),
                                            (flags & MB_ERR_INVALID_CHARS) != 0));
    }
    return Finish(
        codepage::Cp1252ToUtf16(bytes, length, out, static_cast<std::size_t>(targetLength)));
}

int WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const unsigned short* source,
                        int sourceLength, char* target, int targetLength, const char* defaultChar,
                        bool* usedDefaultChar) {
    Page page = PageOf(codePage);
    if (page == Page::Unknown || source == nullptr || sourceLength == 0 || sourceLength < -1 ||
        targetLength < 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    // UTF-8 represents every character, so a default character makes no sense there.
    if (page == Page::Utf8 && (defaultChar != nullptr || usedDefaultChar != nullptr)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    std::uint32_t allowed = page == Page::Utf8 ? WC_ERR_INVALID_CHARS : kWcSingleByteFlags;
    if ((flags & ~allowed) != 0) return Fail(kErrorInvalidFlags);

    std::size_t length =
        sourceLength == -1 ? WideLength(source) + 1 : static_cast<std::size_t>(sourceLength);
    auto out = reinterpret_cast<unsigned char*>(targetLength == 0 ? nullptr : target);
    if (page == Page::Utf8) {
        return Finish(codepage::Utf16ToUtf8(source, length, out,
                                            static_cast<std::size_t>(targetLength),
                                            (flags & WC_ERR_INVALID_CHARS) != 0));
    }
    if (usedDefaultChar != nullptr) *usedDefaultChar = false;
    unsigned char fallback =
        defaultChar != nullptr ? static_cast<unsigned char>(*defaultChar) : '?';
    return Finish(codepage::Utf16ToCp1252(
        source, length, out, static_cast<std::size_t>(targetLength), fallback, usedDefaultChar));
}

}  // namespace tqplat
