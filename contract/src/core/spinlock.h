#pragma once
// A small test-and-test-and-set lock for short critical sections on hot paths.
#include <atomic>
#include <thread>

namespace tqcore::detail {

class SpinLock {
  public:
    void lock() noexcept {
        for (unsigned spins = 0;; ++spins) {
            if (!m_held.exchange(true, std::memory_order_acquire)) return;
            while (m_held.load(std::memory_order_relaxed)) {
                if (++spins > 64)
                    std::this_thread::yield();
                else
                    __builtin_ia32_pause();
            }
        }
    }
    void unlock() noexcept { m_held.store(false, std::memory_order_release); }

  private:
    std::atomic<bool> m_held{false};
};

}  // namespace tqcore::detail
