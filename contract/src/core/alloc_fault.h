#pragma once
// The allocation-failure countdown shared by every allocator of the core library.
#include <atomic>
#include <cstdint>

namespace tqcore::detail {

extern std::atomic<std::int64_t> g_allocationCountdown;

// False when the test seam says this allocation is to fail.
inline bool AllocationAllowed() noexcept {
    std::int64_t left = g_allocationCountdown.load(std::memory_order_relaxed);
    while (left >= 0) {
        if (left == 0) return false;
        if (g_allocationCountdown.compare_exchange_weak(left, left - 1, std::memory_order_relaxed))
            return true;
    }
    return true;
}

}  // namespace tqcore::detail
