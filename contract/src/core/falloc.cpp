#include <cstdlib>

#include "alloc_fault.h"
#include "tqcore/heap.h"

namespace tqcore {

namespace detail {
std::atomic<std::int64_t> g_allocationCountdown{-1};
}

void SetAllocationFailureCountdown(std::int64_t allocations) noexcept {
    detail::g_allocationCountdown.store(allocations < 0 ? -1 : allocations,
                                        std::memory_order_relaxed);
}

bool AllocationFailureArmed() noexcept {
    return detail::g_allocationCountdown.load(std::memory_order_relaxed) >= 0;
}

void* _falloc(std::size_t size) noexcept {
    if (!detail::AllocationAllowed()) return nullptr;
    return std::malloc(size ? size : 1);
}

void* _frealloc(void* block, std::size_t size) noexcept {
    if (!detail::AllocationAllowed()) return nullptr;
    return std::realloc(block, size ? size : 1);
}

void _ffree(void* block) noexcept {
    std::free(block);
}

}  // namespace tqcore
