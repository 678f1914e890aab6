#include "codepage_internal.h"
#include "tqplatform/filenames.h"
#include "tqplatform/files.h"

namespace tqplat {

namespace {

constexpr unsigned short kEscapeFirst = 0xDC80;
constexpr unsigned short kEscapeLast = 0xDCFF;

bool IsHighSurrogate(unsigned short unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// A lone low surrogate that stands for one byte of invalid UTF-8.
bool IsEscape(const unsigned short* name, std::size_t at) {
    return name[at] >= kEscapeFirst && name[at] <= kEscapeLast &&
           (at == 0 || !IsHighSurrogate(name[at - 1]));
}

// Appends the UTF-8 of `count` units; false when they hold a lone surrogate.
bool AppendUtf8(const unsigned short* units, std::size_t count, std::string& bytes) {
    if (count == 0) return true;
    unsigned char converted[4 * 64];
    for (std::size_t done = 0; done < count;) {
        std::size_t n = count - done < 64 ? count - done : 64;
        // Keep a surrogate pair in one slice.
        if (n < count - done && IsHighSurrogate(units[done + n - 1])) --n;
        const std::size_t made =
            codepage::Utf16ToUtf8(units + done, n, converted, sizeof converted, true);
        if (made == codepage::kInvalid) return false;
        bytes.append(reinterpret_cast<const char*>(converted), made);
        done += n;
    }
    return true;
}

}  // namespace

bool NativeFileName(const unsigned short* name, std::string& bytes) {
    bytes.clear();
    std::size_t length = 0;
    while (name[length] != 0) ++length;
    std::size_t run = 0;  // start of the units not yet converted
    for (std::size_t at = 0; at <= length; ++at) {
        if (at < length && !IsEscape(name, at)) continue;
        if (!AppendUtf8(name + run, at - run, bytes)) {
            SetLastError(ERROR_INVALID_NAME);
            return false;
        }
        if (at < length) bytes += static_cast<char>(name[at] & 0xFF);
        run = at + 1;
    }
    // Escapes that spell valid UTF-8 would name the file of that text.
    if (WideFileName(bytes) != std::u16string(reinterpret_cast<const char16_t*>(name), length)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    return true;
}

std::u16string WideFileName(const std::string& bytes) {
    std::u16string wide;
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t at = 0; at < bytes.size();) {
        // The shortest prefix that converts is the next character; none is
        // when the byte starts no valid sequence.
        unsigned short units[2];
        std::size_t made = codepage::kInvalid;
        std::size_t used = 1;
        for (; used <= 4 && at + used <= bytes.size(); ++used) {
            made = codepage::Utf8ToUtf16(s + at, used, units, 2, true);
            if (made != codepage::kInvalid) break;
        }
        if (made == codepage::kInvalid || made == codepage::kNoRoom) {
            wide += static_cast<char16_t>(kEscapeFirst - 0x80 + s[at]);
            ++at;
        } else {
            wide.append(reinterpret_cast<const char16_t*>(units), made);
            at += used;
        }
    }
    return wide;
}

}  // namespace tqplat
