#pragma once
// What differs between the three text widths the parser reads: how a unit is
// classified, which code page narrow text is in, how a character reference is
// written back into the text and how a cut-out piece is interned.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "tqcore/pool.h"
#include "tqplatform/codepage.h"
#include "tqxml/xmlcharclass.h"

namespace tqcore::parser {

// Class bits of one widened unit.
constexpr std::uint8_t kSpace = 1;
constexpr std::uint8_t kNameStart = 2;
constexpr std::uint8_t kNameChar = 4;

// The classes of U+0000..U+00FF, precomputed: the scanner asks for them on
// every unit. Must agree with IsXMLSpace, IsXMLNameStartChar and
// IsXMLNameChar (checked by the tests).
struct Latin1Classes {
    std::uint8_t bits[256];
};

constexpr Latin1Classes MakeLatin1Classes() {
    Latin1Classes t{};
    for (unsigned c : {0x20u, 0x0Au, 0x0Du, 0x09u}) t.bits[c] = kSpace;
    auto letter = [](unsigned c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
               (c >= 0xC0 && c <= 0xFF && c != 0xD7 && c != 0xF7);
    };
    for (unsigned c = 0; c < 256; ++c) {
        if (letter(c) || c == '_' || c == ':')
            t.bits[c] = kNameStart | kNameChar;
        else if ((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 0xB7)
            t.bits[c] = kNameChar;
    }
    return t;
}
inline constexpr Latin1Classes kLatin1Classes = MakeLatin1Classes();

inline std::uint8_t ClassOf(unsigned short unit) {
    if (unit < 256) return kLatin1Classes.bits[unit];
    if (IsXMLNameStartChar(unit)) return kNameStart | kNameChar;
    return IsXMLNameChar(unit) ? kNameChar : 0;
}

// Writes the UTF-16 unit `value` at `out` in the target code page; returns
// the bytes written (0 when the conversion fails).
int PutNarrowChar(std::uint32_t codePage, char* out, unsigned short value);

// Widens `count` (1 or more) bytes of text in `codePage` into `units`, which
// has room for one unit per byte (no byte makes more); the unit count, or 0
// when the text does not convert.
std::size_t WidenNarrow(std::uint32_t codePage, const char* text, std::size_t count,
                        unsigned short* units) noexcept;

// Interns `count` (1 or more) bytes of text in `codePage` with `refs`
// references for the caller; null when memory ran out or the text does not
// convert.
detail::PoolEntry* InternNarrow(std::uint32_t codePage, const char* text, std::size_t count,
                                std::int32_t refs = 1);

template <class T>
struct UnitTraits;

// What both narrow widths share: their text is in the code page `kCodePage`.
template <class Byte, std::uint32_t kCodePage>
struct NarrowUnitTraits {
    static void PutChar(Byte*& w, unsigned short value) {
        if constexpr (kCodePage == tqplat::CP_UTF8) {
            // What the converter writes, without its call; a lone surrogate
            // is left to it.
            if (value < 0x80) {
                *w++ = static_cast<Byte>(value);
                return;
            }
            if (value < 0x800) {
                *w++ = static_cast<Byte>(0xC0 | value >> 6);
                *w++ = static_cast<Byte>(0x80 | (value & 0x3F));
                return;
            }
            if (value < 0xD800 || value > 0xDFFF) {
                *w++ = static_cast<Byte>(0xE0 | value >> 12);
                *w++ = static_cast<Byte>(0x80 | (value >> 6 & 0x3F));
                *w++ = static_cast<Byte>(0x80 | (value & 0x3F));
                return;
            }
        }
        w += PutNarrowChar(kCodePage, reinterpret_cast<char*>(w), value);
    }
    static detail::PoolEntry* Intern(const Byte* text, std::size_t count, std::int32_t refs = 1) {
        return InternNarrow(kCodePage, reinterpret_cast<const char*>(text), count, refs);
    }
    // The units of a piece as the pool takes them, widened into `room` (one
    // unit per byte); their count in `n`, 0 when the text does not convert.
    static const unsigned short* Units(const Byte* text, std::size_t count, unsigned short* room,
                                       std::size_t& n) noexcept {
        n = WidenNarrow(kCodePage, reinterpret_cast<const char*>(text), count, room);
        return room;
    }
    static constexpr unsigned int kUnitBytes = 1;
};

template <>
struct UnitTraits<char> : NarrowUnitTraits<char, tqplat::CP_ACP> {
    static unsigned short Widen(char c) { return XMLUnitFromChar(c); }
    static unsigned Index(char c) { return static_cast<unsigned char>(c); }
};

template <>
struct UnitTraits<unsigned char> : NarrowUnitTraits<unsigned char, tqplat::CP_UTF8> {
    static unsigned short Widen(unsigned char c) { return XMLUnitFromByte(c); }
    static unsigned Index(unsigned char c) { return c; }
};

template <>
struct UnitTraits<unsigned short> {
    static unsigned short Widen(unsigned short c) { return c; }
    static unsigned Index(unsigned short c) { return c; }
    static void PutChar(unsigned short*& w, unsigned short value) { *w++ = value; }
    static detail::PoolEntry* Intern(const unsigned short* text, std::size_t count,
                                     std::int32_t refs = 1) {
        return detail::InternHashed(text, static_cast<std::uint32_t>(count),
                                    detail::HashUnits(text, count), refs);
    }
    // UTF-16 pieces are pooled as they stand.
    static const unsigned short* Units(const unsigned short* text, std::size_t count,
                                       unsigned short*, std::size_t& n) noexcept {
        n = count;
        return text;
    }
    static constexpr unsigned int kUnitBytes = 2;
};

}  // namespace tqcore::parser
