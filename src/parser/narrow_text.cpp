// Narrow text in the parser: character references written back in the code
// page, and cut-out pieces widened and pooled.
#include <climits>
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

CPPoolString PoolNarrow(std::uint32_t codePage, const char* text, std::size_t count,
                        WideScratch& scratch) {
    if (count == 0) return CPPoolString::pempty;
    if (count > INT_MAX) return CPPoolString();
    unsigned short* units = scratch.Reserve(count);
    if (!units) return CPPoolString();
    const int n = tqplat::MultiByteToWideChar(codePage, 0, text, static_cast<int>(count), units,
                                              static_cast<int>(count));
    if (n <= 0) return CPPoolString();
    return CStringPool::GetStringRefn(units, static_cast<unsigned int>(n));
}

}  // namespace tqcore::parser
