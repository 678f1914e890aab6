#pragma once
// Hexadecimal digits in UTF-16 text, shared by the GUID and file-time forms.
#include <cstdint>

namespace tqcore::hextext {

// The value of a hexadecimal digit of either case, or -1.
inline int digitValue(unsigned short c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Writes the low `digits` nibbles of `value`, most significant first, in
// upper case; returns the position after them.
inline unsigned short* write(unsigned short* out, std::uint64_t value, int digits) noexcept {
    static const char kDigits[] = "0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        *out++ = kDigits[(value >> shift) & 0xF];
    return out;
}

// Reads exactly `digits` digits; false at the first non-digit (a terminator
// included, so the read never passes the end of the text).
inline bool read(const unsigned short*& in, int digits, std::uint64_t& value) noexcept {
    value = 0;
    for (int i = 0; i < digits; ++i) {
        const int d = digitValue(in[i]);
        if (d < 0) return false;
        value = value << 4 | unsigned(d);
    }
    in += digits;
    return true;
}

}  // namespace tqcore::hextext
