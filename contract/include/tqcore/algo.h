#pragma once
// Checksums, sorting and searching over untyped arrays.
#include <cstddef>
#include <cstdint>

#include "tqcore/export.h"

namespace tqcore {

// CRC-32 (reflected polynomial 0xEDB88320) of `size` bytes. `seed` is the
// CRC of the bytes before them (0 to start), so CRCs can be run over data in
// pieces. Null data or a size of 0 returns the seed.
TQCORE_API std::uint32_t GetCRC32(const void* data, std::size_t size, std::uint32_t seed) noexcept;

// Orders two items: negative, zero or positive, as qsort's callback does.
using TQCompare = int (*)(const void* a, const void* b);

// Sorts `count` items of `size` bytes in place (not stable). Items are moved
// as raw bytes. False, and nothing moved, for a null callback, a size of 0, a
// null array of items or an array larger than memory. A callback that is not
// a consistent ordering leaves the items in some order but never reads
// outside the array.
TQCORE_API bool tqqsort(void* base, std::size_t count, std::size_t size,
                        TQCompare compare) noexcept;

// Binary search in a sorted array: the index of the first item that does not
// order before `key`, or `count` when every item does. The callback is called
// as compare(key, item). A null array or callback, or a size of 0, gives
// `count`.
TQCORE_API std::size_t tqqsearch(const void* key, const void* base, std::size_t count,
                                 std::size_t size, TQCompare compare) noexcept;

}  // namespace tqcore
