// Windows-1252 in both directions.
#include "codepage_internal.h"

namespace tqplat::codepage {
namespace {

// 0x80-0x9F; the undefined bytes keep their own value, as Windows maps them.
constexpr unsigned short kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool IsHighSurrogate(unsigned short u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(unsigned short u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

unsigned short Cp1252ToUnit(unsigned char byte) {
    return (byte >= 0x80 && byte <= 0x9F) ? kHigh[byte - 0x80] : byte;
}

int UnitToCp1252(unsigned short unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return unit;
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == unit) return 0x80 + i;
    }
    return -1;
}

std::size_t Cp1252ToUtf16(const unsigned char* source, std::size_t length, unsigned short* target,
                          std::size_t capacity) {
    if (target == nullptr) return length;
    if (capacity < length) return kNoRoom;
    for (std::size_t i = 0; i < length; ++i) target[i] = Cp1252ToUnit(source[i]);
    return length;
}

std::size_t Utf16ToCp1252(const unsigned short* source, std::size_t length, unsigned char* target,
                          std::size_t capacity, unsigned char defaultByte, bool* usedDefault) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < length; ++i) {
        int byte = UnitToCp1252(source[i]);
        if (byte < 0) {
            byte = defaultByte;
            if (usedDefault != nullptr) *usedDefault = true;
            // A surrogate pair is one character and gets one default byte.
            if (IsHighSurrogate(source[i]) && i + 1 < length && IsLowSurrogate(source[i + 1])) ++i;
        }
        if (target != nullptr) {
            if (out == capacity) return kNoRoom;
            target[out] = static_cast<unsigned char>(byte);
        }
        ++out;
    }
    return out;
}

}  // namespace tqplat::codepage
