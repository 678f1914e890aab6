#pragma once
// Finders that let the scanner pass over runs of ordinary units many at a
// time. Each returns the first position at or after `p` whose unit is in its
// set; every set holds the zero terminator, so a finder never runs past it.
// The "candidate" finders may also stop on an ordinary unit (the caller
// classifies what it stops on and goes on past such a unit), but never pass
// a unit that ends the run.
//
// CopyDataRun finds the end of a plain run of data and writes the run to
// `to` with each lone white space unit as a space: `to` is `p` itself (the
// run is rewritten where it stands) or lies at least kCopyGapBytes before
// `p`, and then up to 16 bytes after the copy may be overwritten, all of
// them before the run's end.
//
// Two implementations: SSE2, 16 or 32 bytes per step, and a portable one,
// unit by unit, with the same results.
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

// How far CopyDataRun's copy must lag behind the text it reads.
constexpr std::size_t kCopyGapBytes = 16;

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
// A white space unit followed by a unit that is neither a candidate nor
// white space needs no collapsing (it becomes one space), provided the unit
// before it is no white space either: the data finder must not start right
// after white space.
template <class T>
bool EndsData(const T* p, unsigned term) noexcept {
    const unsigned u = Unit(*p);
    if (!IsSpaceUnit(u)) return IsDataCandidate(u, term);
    const unsigned next = Unit(p[1]);
    return next == ' ' || IsDataCandidate(next, term);
}
template <class T>
bool EndsName(const T* p) noexcept {
    return IsNameCandidate(Unit(*p));
}
// Where a run that needs no rewriting at all may end: white space too.
template <class T>
bool EndsPlain(const T* p, unsigned term) noexcept {
    const unsigned u = Unit(*p);
    return u == ' ' || IsDataCandidate(u, term);
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
    static T* CopyDataRun(T* p, T* to, unsigned term) noexcept {
        for (; !EndsData(p, term); ++p) *to++ = IsSpaceUnit(Unit(*p)) ? T(' ') : *p;
        return p;
    }
    template <class T>
    static T* FindNameCandidate(T* p) noexcept {
        while (!EndsName(p)) ++p;
        return p;
    }
    template <class T>
    static T* FindPlainEnd(T* p, unsigned term) noexcept {
        while (!EndsPlain(p, term)) ++p;
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
    template <class T>
    static T* CopyDataRun(T* p, T* to, unsigned term) noexcept {
        if (to != p) return dataRun<true>(p, to, term);
        for (int i = 0; i < kUnitsFirst; ++i, ++p) {
            const unsigned u = Unit(*p);
            if (u > ' ' && !IsDataCandidate(u, term)) continue;
            if (EndsData(p, term)) return p;
            if (u != ' ') *p = T(' ');  // white space, as no other unit up to a space goes on
        }
        return dataRun<false>(p, p, term);
    }
    // Its caller tests the first units of a name itself.
    template <class T>
    static T* FindNameCandidate(T* p) noexcept {
        return firstMatch(p, [](__m128i v) {
            using L = Lanes<sizeof(T)>;
            const __m128i letter = L::inRange(_mm_or_si128(v, L::splat(0x20)), 'a', 'z');
            const __m128i punct = _mm_andnot_si128(L::eq(v, '/'), L::inRange(v, '-', ':'));
            return ~movemask(_mm_or_si128(_mm_or_si128(letter, punct), L::eq(v, '_')));
        });
    }
    template <class T>
    static T* FindPlainEnd(T* p, unsigned term) noexcept {
        return firstMatch(p, [term](__m128i v) {
            using L = Lanes<sizeof(T)>;
            const __m128i markup = _mm_or_si128(L::eq(v, '&'), L::eq(v, '<'));
            return movemask(_mm_or_si128(_mm_or_si128(L::atMost(v, 0x20), markup), L::eq(v, term)));
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
    // The data finder, block by block so that a copy can store each block
    // whole: a block with no stop is stored as it stands, and what a block
    // with a stop stores past the stop lies before the run's end, where the
    // copy goes on over it or nothing reads it (the copy lags by at least one
    // block). A block is read only once no unit before it ends the run, so it
    // holds text; its classes serve the block before it, whose white space in
    // the last unit asks the unit after it. The first block is copied from
    // `p` on, unaligned, within its own pair or once the next block is read.
    // In place, only lone white space is written.
    template <bool Copy, class T>
    static T* dataRun(T* p, T* to, unsigned term) noexcept {
        const auto* at = reinterpret_cast<const char*>(p);
        const std::size_t skip = reinterpret_cast<std::uintptr_t>(at) & 15;
        const char* block = at - skip;
        auto* out = reinterpret_cast<char*>(to) - skip;  // where `block` is copied to
        __m128i v = load(block);
        DataClasses c = classify<T>(v, term);
        std::uint32_t mask = 0xFFFFu << skip;
        std::uint32_t stops = c.ends & mask;
        for (bool first = true;; first = false) {
            __m128i next = v;
            DataClasses n = c;
            const bool nextRead = stops == 0;
            if (nextRead) {
                next = load(block + 16);
                n = classify<T>(next, term);
                constexpr std::uint32_t kLastUnit = 0xFFFFu << (16 - sizeof(T)) & 0xFFFFu;
                stops = c.white & (n.candidate | n.white) << (16 - sizeof(T)) & kLastUnit & mask;
            }
            if (!Copy) {
                blank<T>(out, c.others & mask & below(stops));
            } else if (!first) {
                store(out, spaced<T>(v, c.other));
            } else if (nextRead || (reinterpret_cast<std::uintptr_t>(block) & 16) == 0) {
                const __m128i first16 = loadUnaligned(at);
                store(out + skip, spaced<T>(first16, otherWhite<T>(first16)));
            } else {
                std::memmove(out + skip, at, __builtin_ctz(stops) - skip);
                blank<T>(out, c.others & mask & below(stops));
            }
            if (stops) break;
            block += 16;
            out += 16;
            v = next;
            c = n;
            mask = 0xFFFFu;
            stops = c.ends;
        }
        return p + static_cast<std::size_t>(block + __builtin_ctz(stops) - at) / sizeof(T);
    }
    // Byte bits of one block for the data finder.
    struct DataClasses {
        std::uint32_t candidate;  // IsDataCandidate
        std::uint32_t white;      // white space
        std::uint32_t others;     // white space other than a space, one bit per unit
        std::uint32_t ends;       // EndsData, but for white space in the last unit
        __m128i other;            // white space other than a space, as lanes
    };
    template <class T>
    static DataClasses classify(__m128i v, unsigned term) noexcept {
        using L = Lanes<sizeof(T)>;
        const __m128i markup = _mm_or_si128(L::eq(v, '&'), L::eq(v, '<'));
        const __m128i candidates =
            _mm_or_si128(_mm_or_si128(L::atMost(v, 0x1F), markup), L::eq(v, term));
        constexpr std::uint32_t kUnitBits = sizeof(T) == 1 ? 0xFFFFu : 0x5555u;
        DataClasses c;
        c.candidate = movemask(candidates);
        c.other = otherWhite<T>(v);
        const std::uint32_t others = movemask(c.other);
        c.white = movemask(L::eq(v, ' ')) | others;
        c.others = others & kUnitBits;
        c.ends = (c.candidate & ~c.white) | (c.white & (c.candidate | c.white) >> sizeof(T));
        return c;
    }
    // The bits below the lowest of `stops` (all when there is none).
    static std::uint32_t below(std::uint32_t stops) noexcept { return (stops & (0 - stops)) - 1; }
    // Writes a space at each unit of the block at `base` that `units` marks.
    template <class T>
    static void blank(char* base, std::uint32_t units) noexcept {
        for (; units; units &= units - 1) {
            const T space = T(' ');
            std::memcpy(base + __builtin_ctz(units), &space, sizeof space);
        }
    }
    // The lanes of white space other than a space.
    template <class T>
    static __m128i otherWhite(__m128i v) noexcept {
        using L = Lanes<sizeof(T)>;
        return _mm_or_si128(_mm_or_si128(L::eq(v, '\n'), L::eq(v, '\r')), L::eq(v, '\t'));
    }
    // `v` with its white space units (those not a space in `other`) made spaces.
    template <class T>
    static __m128i spaced(__m128i v, __m128i other) noexcept {
        return _mm_or_si128(_mm_andnot_si128(other, v),
                            _mm_and_si128(other, Lanes<sizeof(T)>::splat(' ')));
    }
    static __m128i loadUnaligned(const char* at) noexcept {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    }
    static void store(char* at, __m128i v) noexcept {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
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
