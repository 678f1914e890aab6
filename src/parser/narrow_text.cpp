// Narrow text in the parser: character references written back in the code
// page, and cut-out pieces widened and pooled.
#include <climits>
#include <cstdint>
#include <cstring>

#include "parser/scan.h"
#include "parser/unit_traits.h"
#include "tqcore/heap.h"

namespace tqcore::parser {

int PutNarrowChar(std::uint32_t codePage, char* out, unsigned short value) {
    // One unit makes at most three bytes, and a reference whose value needs
    // three ("&#x800;") is longer than that: the output never overtakes the
    // text still to be read.
    char bytes[4];
    const int n =
        tqplat::WideCharToMultiByte(codePage, 0, &value, 1, bytes, sizeof bytes, nullptr, nullptr);
    if (n <= 0) return 0;
    std::memcpy(out, bytes, static_cast<std::size_t>(n));
    return n;
}

namespace {

// Widens the ASCII run at the start of `text` inline, 16 or 8 bytes per
// step; returns its length. Short pieces are mostly all ASCII, and the
// converter's call costs more than they do. A block that ends the run is
// widened whole too (`units` has room for one unit per byte): the units past
// the run are written over by what follows.
std::size_t WidenAscii(const char* text, std::size_t count, unsigned short* units) noexcept {
    std::size_t i = 0;
#ifdef TQXML_SSE2_SCAN
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= count; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(units + i), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(units + i + 8), _mm_unpackhi_epi8(bytes, zero));
        if (const int high = _mm_movemask_epi8(bytes))
            return i + static_cast<unsigned>(__builtin_ctz(static_cast<unsigned>(high)));
    }
#endif
    for (; i + 8 <= count; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, text + i, 8);
        if (w & 0x8080808080808080ull) break;
#ifdef TQXML_SSE2_SCAN
        const __m128i eight = _mm_cvtsi64_si128(static_cast<long long>(w));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(units + i), _mm_unpacklo_epi8(eight, zero));
#else
        for (unsigned k = 0; k < 8; ++k)
            units[i + k] = static_cast<unsigned short>((w >> (8 * k)) & 0xFF);
#endif
    }
    for (; i < count && static_cast<unsigned char>(text[i]) < 0x80; ++i)
        units[i] = static_cast<unsigned char>(text[i]);
    return i;
}

bool IsContinuation(unsigned char b) noexcept {
    return (b & 0xC0) == 0x80;
}

// Decodes one well-formed UTF-8 sequence of two to four bytes at `p`: the
// bytes it takes (0 for anything else, which the converter then reads) and
// its one or two units at `out` (their count in `units`).
std::size_t DecodeUtf8(const unsigned char* p, std::size_t left, unsigned short* out,
                       std::size_t& units) noexcept {
    const unsigned b = p[0];
    if (b >= 0xC2 && b <= 0xDF && left >= 2 && IsContinuation(p[1])) {
        out[0] = static_cast<unsigned short>((b & 0x1F) << 6 | (p[1] & 0x3F));
        units = 1;
        return 2;
    }
    if (b >= 0xE0 && b <= 0xEF && left >= 3 && IsContinuation(p[1]) && IsContinuation(p[2])) {
        const unsigned c = (b & 0x0F) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3F);
        if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF)) return 0;  // overlong, or a surrogate
        out[0] = static_cast<unsigned short>(c);
        units = 1;
        return 3;
    }
    if (b >= 0xF0 && b <= 0xF4 && left >= 4 && IsContinuation(p[1]) && IsContinuation(p[2]) &&
        IsContinuation(p[3])) {
        const unsigned c =
            (b & 0x07) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3F);
        if (c < 0x10000 || c > 0x10FFFF) return 0;
        out[0] = static_cast<unsigned short>(0xD800 + ((c - 0x10000) >> 10));
        out[1] = static_cast<unsigned short>(0xDC00 + ((c - 0x10000) & 0x3FF));
        units = 2;
        return 4;
    }
    return 0;
}

}  // namespace

std::size_t WidenNarrow(std::uint32_t codePage, const char* text, std::size_t count,
                        unsigned short* units) noexcept {
    if (count > INT_MAX) return 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::size_t i = 0, n = 0;
    for (;;) {
        const std::size_t ascii = WidenAscii(text + i, count - i, units + n);
        i += ascii;
        n += ascii;
        if (i == count) return n;
        // Well-formed UTF-8 is decoded here. Whatever else the converter
        // reads, up to the next ASCII byte, which no sequence takes in: so it
        // reads that stretch as it would have read it within the whole. In
        // other code pages it reads all the rest.
        std::size_t end = count, produced = 0;
        if (codePage == tqplat::CP_UTF8) {
            std::size_t used;
            while (i < count && (used = DecodeUtf8(bytes + i, count - i, units + n, produced))) {
                i += used;
                n += produced;
            }
            if (i == count || bytes[i] < 0x80) continue;
            for (end = i + 1; end < count && bytes[end] >= 0x80;) ++end;
        }
        const int converted = tqplat::MultiByteToWideChar(
            codePage, 0, text + i, static_cast<int>(end - i), units + n, static_cast<int>(end - i));
        if (converted <= 0) return 0;
        i = end;
        n += static_cast<std::size_t>(converted);
    }
}

detail::PoolEntry* InternNarrow(std::uint32_t codePage, const char* text, std::size_t count,
                                std::int32_t refs) {
    if (count > INT_MAX) return nullptr;
    // Widened straight into the entry: long texts are copied once.
    return detail::InternWritten(
        static_cast<std::uint32_t>(count),
        [&](unsigned short* units) noexcept { return WidenNarrow(codePage, text, count, units); },
        refs);
}

}  // namespace tqcore::parser
