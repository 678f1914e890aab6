#pragma once
// Copies of a few bytes, as the lists' items and the writer's names and
// values mostly are: a few fixed-size moves, overlapping at the end, cost
// less than a call to memcpy, which is what std::copy and memcpy of a
// length known only at run time become.
#include <cstddef>
#include <cstring>

namespace tqcore::detail {

// Copies `bytes` (an even number) from `from` to `to`; the two must not
// overlap. Every read and write stays within the `bytes` given.
inline void CopyShort(void* to, const void* from, std::size_t bytes) noexcept {
    auto* d = static_cast<unsigned char*>(to);
    const auto* s = static_cast<const unsigned char*>(from);
    if (bytes > 64) {
        std::memcpy(d, s, bytes);
    } else if (bytes > 32) {
        std::memcpy(d, s, 32);
        std::memcpy(d + bytes - 32, s + bytes - 32, 32);
    } else if (bytes > 16) {
        std::memcpy(d, s, 16);
        std::memcpy(d + bytes - 16, s + bytes - 16, 16);
    } else if (bytes >= 8) {
        std::memcpy(d, s, 8);
        std::memcpy(d + bytes - 8, s + bytes - 8, 8);
    } else if (bytes >= 4) {
        std::memcpy(d, s, 4);
        std::memcpy(d + bytes - 4, s + bytes - 4, 4);
    } else if (bytes == 2) {
        std::memcpy(d, s, 2);
    }
}

}  // namespace tqcore::detail
