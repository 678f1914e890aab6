#pragma once
// Per-thread state handed back when its thread ends. The state is given to
// the hook by the thread runtime's key, not read from thread-local storage:
// with emulated thread-local storage that storage may be freed before the
// destructors of thread_local objects run.
#include <pthread.h>

namespace tqcore::detail {

class ThreadExitHook {
  public:
    // `atExit` gets the state last set on a thread when that thread ends
    // (not the main thread at process exit); it may set a state again.
    explicit ThreadExitHook(void (*atExit)(void*)) noexcept
        : m_ready(pthread_key_create(&m_key, atExit) == 0) {}
    ThreadExitHook(const ThreadExitHook&) = delete;
    ThreadExitHook& operator=(const ThreadExitHook&) = delete;

    // False when the runtime has no key left: the state then stays with the thread.
    bool set(void* state) const noexcept {
        return m_ready && pthread_setspecific(m_key, state) == 0;
    }

  private:
    pthread_key_t m_key{};
    bool m_ready;
};

}  // namespace tqcore::detail
