#pragma once
// Finders that let the scanner pass over runs of ordinary units many at a
// time. Each returns the first position at or after `p` whose unit is in its
// set; every set holds the zero terminator, so a finder never runs past it.
// The "candidate" finders may also stop on an ordinary unit (the caller
// classifies what it stops on and goes on past such a unit), but never pass
// a unit that ends the run.
//
// Two implementations: SSE2, 32 bytes per step, and a portable one, unit by
// unit, with the same results (but for one case the data finder notes).
// `Finders` is the one the parser uses; TQXML_PORTABLE_SCAN selects the
// portable one where SSE2 is present.
//
// The SSE2 finders read whole aligned 32-byte pairs of blocks, so they read
// units before `p` and after the terminator. An aligned pair never crosses a
// page boundary, and the document's text buffer is a page mapping of its own with
// the terminator inside it (not a heap block, so there is no sanitizer
// redzone after it): every block that holds a unit of the text is readable.
// Callers must pass text that is readable up to the end of the aligned 32
// bytes holding its terminator, and UTF-16 text at even addresses.
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && !defined(TQXML_PORTABLE_SCAN)
#define TQXML_SSE2_SCAN 1
#include <emmintrin.h>
#endif

namespace tqcore::parser::scan {

// The units a unit of any width is compared as: bytes unsigned.
template <class T>
constexpr unsigned Unit(T u) noexcept {
    if constexpr (sizeof(T) == 1)
        return static_cast<unsigned char>(u);
    else
        return u;
}

constexpr bool IsSpaceUnit(unsigned u) noexcept {
    return u == 0x20 || u == 0x0A || u == 0x0D || u == 0x09;
}
// Units below space (white space, the terminator and controls), "&", "<"
// and the value's closing unit: where a plain run of data may end.
constexpr bool IsDataCandidate(unsigned u, unsigned term) noexcept {
    return u < 0x20 || u == '&' || u == '<' || u == term;
}
// Everything but the ASCII name characters, which are most of every name.
constexpr bool IsNameCandidate(unsigned u) noexcept {
    const unsigned lower = u | 0x20;
    const bool asciiName =
        (lower >= 'a' && lower <= 'z') || (u >= '-' && u <= ':' && u != '/') || u == '_';
    return !asciiName;
}

// Where each finder stops, tested at one position.
template <class T>
bool EndsSpace(const T* p) noexcept {
    return !IsSpaceUnit(Unit(*p));
}
template <class T, class... U>
bool IsAnyOf(const T* p, U... units) noexcept {
    return ((Unit(*p) == Unit(static_cast<T>(units))) || ...);
}
// A space followed by a unit that is neither a candidate nor a space needs
// no collapsing, provided the unit before it is no space either: the data
// finders must not start right after a space.
template <class T>
bool EndsData(const T* p, unsigned term) noexcept {
    const unsigned u = Unit(*p);
    if (u != ' ') return IsDataCandidate(u, term);
    const unsigned next = Unit(p[1]);
    return next == ' ' || IsDataCandidate(next, term);
}
template <class T>
bool EndsName(const T* p) noexcept {
    return IsNameCandidate(Unit(*p));
}

// Unit by unit; also the reference the SSE2 finders are tested against.
struct Portable {
    template <class T>
    static T* SkipSpace(T* p) noexcept {
        while (!EndsSpace(p)) ++p;
        return p;
    }
    // `units` must include 0.
    template <class T, class... U>
    static T* FindAnyOf(T* p, U... units) noexcept {
        while (!IsAnyOf(p, units...)) ++p;
        return p;
    }
    template <class T>
    static T* FindDataCandidate(T* p, unsigned term) noexcept {
        while (!EndsData(p, term)) ++p;
        return p;
    }
    template <class T>
    static T* FindNameCandidate(T* p) noexcept {
        while (!EndsName(p)) ++p;
        return p;
    }
};

#ifdef TQXML_SSE2_SCAN

struct Sse2 {
    template <class T>
    static T* SkipSpace(T* p) noexcept {
        return find(p, EndsSpace<T>, [](__m128i v) {
            using L = Lanes<sizeof(T)>;
            const __m128i space = _mm_or_si128(L::eq(v, 0x20), L::eq(v, 0x0A));
            const __m128i other = _mm_or_si128(L::eq(v, 0x0D), L::eq(v, 0x09));
            return ~movemask(_mm_or_si128(space, other));
        });
    }
    template <class T, class... U>
    static T* FindAnyOf(T* p, U... units) noexcept {
        auto isStop = [=](const T* q) { return IsAnyOf(q, units...); };
        return find(p, isStop, [=](__m128i v) {
            using L = Lanes<sizeof(T)>;
            __m128i any = _mm_setzero_si128();
            ((any = _mm_or_si128(any, L::eq(v, Unit(static_cast<T>(units))))), ...);
            return movemask(any);
        });
    }
    // As the portable finder, except that a space in the last unit of a
    // block is always returned: what follows it is in the next block.
    template <class T>
    static T* FindDataCandidate(T* p, unsigned term) noexcept {
        auto isStop = [term](const T* q) { return EndsData(q, term); };
        return find(p, isStop, [term](__m128i v) {
            using L = Lanes<sizeof(T)>;
            const __m128i space = L::eq(v, ' ');
            const __m128i low = L::atMost(v, 0x1F);
            const __m128i markup = _mm_or_si128(L::eq(v, '&'), L::eq(v, '<'));
            const unsigned stops =
                movemask(_mm_or_si128(_mm_or_si128(low, markup), L::eq(v, term)));
            const unsigned spaces = movemask(space);
            constexpr unsigned kLastUnit = 0xFFFFu << (16 - sizeof(T)) & 0xFFFFu;
            const unsigned next = (stops | spaces) >> sizeof(T) | kLastUnit;
            return stops | (spaces & next);
        });
    }
    template <class T>
    static T* FindNameCandidate(T* p) noexcept {
        return find(p, EndsName<T>, [](__m128i v) {
            using L = Lanes<sizeof(T)>;
            const __m128i letter = L::inRange(_mm_or_si128(v, L::splat(0x20)), 'a', 'z');
            const __m128i punct = _mm_andnot_si128(L::eq(v, '/'), L::inRange(v, '-', ':'));
            return ~movemask(_mm_or_si128(_mm_or_si128(letter, punct), L::eq(v, '_')));
        });
    }

  private:
    // Most runs (names, white space between tags, short values) end within
    // a few units, where testing unit by unit costs less than a step.
    static constexpr int kUnitsFirst = 8;

    template <class T, class IsStop, class Match>
    static T* find(T* p, IsStop isStop, Match match) noexcept {
        for (int i = 0; i < kUnitsFirst; ++i, ++p)
            if (isStop(p)) return p;
        return firstMatch(p, match);
    }

    // Lane operations by unit width; a true lane is all ones.
    template <std::size_t Width>
    struct Lanes;

    // The first unit at or after `p` whose byte bits `match` sets (one bit
    // per byte of a block, bits above 15 ignored). Each step reads an
    // aligned pair of blocks, so none crosses into a page the text does not
    // reach, and a short run is mostly found in one step.
    template <class T, class Match>
    static T* firstMatch(T* p, Match match) noexcept {
        const auto* at = reinterpret_cast<const char*>(p);
        const std::size_t skip = reinterpret_cast<std::uintptr_t>(at) & 31;
        const char* pair = at - skip;
        std::uint32_t bits = pairBits(pair, match) & (~std::uint32_t{0} << skip);
        while (bits == 0) {
            pair += 32;
            bits = pairBits(pair, match);
        }
        return p + static_cast<std::size_t>(pair + __builtin_ctz(bits) - at) / sizeof(T);
    }
    template <class Match>
    static std::uint32_t pairBits(const char* pair, Match match) noexcept {
        const std::uint32_t low = match(load(pair)) & 0xFFFFu;
        return low | (match(load(pair + 16)) & 0xFFFFu) << 16;
    }
    static __m128i load(const char* block) noexcept {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(block));
    }
    static unsigned movemask(__m128i v) noexcept {
        return static_cast<unsigned>(_mm_movemask_epi8(v));
    }
};

template <std::size_t Width>
struct Sse2::Lanes {
    static __m128i splat(unsigned u) noexcept {
        if constexpr (Width == 1)
            return _mm_set1_epi8(static_cast<char>(u));
        else
            return _mm_set1_epi16(static_cast<short>(u));
    }
    static __m128i eq(__m128i v, __m128i w) noexcept {
        if constexpr (Width == 1)
            return _mm_cmpeq_epi8(v, w);
        else
            return _mm_cmpeq_epi16(v, w);
    }
    static __m128i eq(__m128i v, unsigned u) noexcept { return eq(v, splat(u)); }
    // Unsigned: saturating subtraction leaves zero exactly where v <= u.
    static __m128i atMost(__m128i v, unsigned u) noexcept {
        if constexpr (Width == 1)
            return eq(_mm_subs_epu8(v, splat(u)), _mm_setzero_si128());
        else
            return eq(_mm_subs_epu16(v, splat(u)), _mm_setzero_si128());
    }
    static __m128i inRange(__m128i v, unsigned lo, unsigned hi) noexcept {
        if constexpr (Width == 1)
            return atMost(_mm_sub_epi8(v, splat(lo)), hi - lo);
        else
            return atMost(_mm_sub_epi16(v, splat(lo)), hi - lo);
    }
};

using Finders = Sse2;
#else
using Finders = Portable;
#endif

// Moves `count` units from `from` to `to` (to <= from, the runs may overlap).
template <class T>
void MoveUnits(T* to, const T* from, std::size_t count) noexcept {
    std::memmove(to, from, count * sizeof(T));
}

}  // namespace tqcore::parser::scan
