// Narrow text in the parser: character references written back in the code
// page, and cut-out pieces widened and pooled.
#include <climits>
#include <cstdint>
#include <cstring>

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

WideScratch::~WideScratch() {
    _ffree(m_units);
}

unsigned short* WideScratch::Reserve(std::size_t units) noexcept {
    if (units <= m_capacity) return m_units;
    constexpr std::size_t kFirstUnits = 256;
    std::size_t capacity = m_capacity ? 2 * m_capacity : kFirstUnits;
    if (capacity < units) capacity = units;
    auto* grown = static_cast<unsigned short*>(_frealloc(m_units, capacity * sizeof *m_units));
    if (!grown) return nullptr;
    m_units = grown;
    m_capacity = capacity;
    return m_units;
}

namespace {

// Widens the ASCII run at the start of `text` inline, eight bytes per step;
// returns its length. Short pieces are mostly all ASCII, and the converter's
// call costs more than they do.
std::size_t WidenAscii(const char* text, std::size_t count, unsigned short* units) noexcept {
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, text + i, 8);
        if (w & 0x8080808080808080ull) break;
        for (unsigned k = 0; k < 8; ++k)
            units[i + k] = static_cast<unsigned short>((w >> (8 * k)) & 0xFF);
    }
    for (; i < count && static_cast<unsigned char>(text[i]) < 0x80; ++i)
        units[i] = static_cast<unsigned char>(text[i]);
    return i;
}

}  // namespace

std::size_t WidenNarrow(std::uint32_t codePage, const char* text, std::size_t count,
                        unsigned short* units) noexcept {
    if (count > INT_MAX) return 0;
    // ASCII is the same in both code pages, and a converter restarted after
    // it reads the rest exactly as it would have read the whole.
    std::size_t n = WidenAscii(text, count, units);
    if (n < count) {
        const int rest =
            tqplat::MultiByteToWideChar(codePage, 0, text + n, static_cast<int>(count - n),
                                        units + n, static_cast<int>(count - n));
        if (rest <= 0) return 0;
        n += static_cast<std::size_t>(rest);
    }
    return n;
}

detail::PoolEntry* InternNarrow(std::uint32_t codePage, const char* text, std::size_t count,
                                WideScratch& scratch, std::int32_t refs) {
    if (count > INT_MAX) return nullptr;
    unsigned short* units = scratch.Reserve(count);
    if (!units) return nullptr;
    const std::size_t n = WidenNarrow(codePage, text, count, units);
    if (n == 0) return nullptr;
    return detail::InternHashed(units, static_cast<std::uint32_t>(n), detail::HashUnits(units, n),
                                refs);
}

}  // namespace tqcore::parser
