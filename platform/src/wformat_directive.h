#pragma once
// Pieces shared by the wide printf and scanf engines.
#include <cstddef>

namespace tqplat::wformat {

// Argument size given by the prefix of a conversion. `Long` is 32 bits, as on
// Windows; `Int64` also stands for the 64-bit size_t, ptrdiff_t and intmax_t;
// `LongDouble` is the caller's long double.
enum class ArgSize { Default, Char, Short, Long, Int64, LongDouble, Wide };

// Reads a size prefix (h, hh, l, ll, L, w, z, t, j, I, I32, I64) at `f` and
// moves `f` past it.
ArgSize ParseArgSize(const unsigned short*& f);

// Whether %c, %s or %[ with this prefix means narrow (ANSI) text: h always,
// and the upper-case C and S unless l or w asks for wide text.
inline bool IsNarrowText(ArgSize size, unsigned short conversion) {
    if (size == ArgSize::Short) return true;
    bool upper = conversion == 'C' || conversion == 'S';
    return upper && size != ArgSize::Long && size != ArgSize::Wide;
}

inline bool IsDigit(unsigned short c) {
    return c >= '0' && c <= '9';
}

// The runtime's wide white space in the "C" locale.
inline bool IsSpace(unsigned short c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace tqplat::wformat
