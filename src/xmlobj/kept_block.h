#pragma once
// A working block a thread keeps from one parse or walk for the next, one
// per kind: a parse of a deep, wide or small document, or a walk over a
// deep tree, would otherwise allocate and grow (or clear) the same blocks
// every time. Nothing is kept while the allocation-failure seam is armed,
// so that allocations stay the same from run to run; the kept block goes
// when its thread ends.
#include <cstddef>

#include "tqcore/heap.h"
#include "tqcore/thread_exit.h"

namespace tqcore::detail {

template <class Kind>
class KeptBlock {
  public:
    // The kept block, whose size goes to `bytes`, for the caller to own;
    // null when there is none.
    static void* Take(std::size_t& bytes) noexcept {
        if (!t_kept.block || AllocationFailureArmed()) return nullptr;
        exitHook().set(nullptr);  // the thread's end must not free it now
        void* const block = t_kept.block;
        bytes = t_kept.bytes;
        t_kept = Kept{};
        return block;
    }

    // Takes over `block` (from _falloc, `bytes` long): keeps it when it is
    // larger than the block kept and no larger than `maxBytes`, and frees
    // whichever is not kept.
    static void Offer(void* block, std::size_t bytes, std::size_t maxBytes) noexcept {
        if (!block) return;
        // Without a key the block goes at once rather than outlive the thread.
        if (AllocationFailureArmed() || bytes > maxBytes || bytes <= t_kept.bytes ||
            !exitHook().set(block)) {
            _ffree(block);
            return;
        }
        _ffree(t_kept.block);
        t_kept = Kept{block, bytes};
    }

  private:
    static const ThreadExitHook& exitHook() noexcept {
        static const ThreadExitHook hook(_ffree);
        return hook;
    }

    struct Kept {
        void* block = nullptr;
        std::size_t bytes = 0;
    };
    static inline thread_local Kept t_kept{};
};

}  // namespace tqcore::detail
