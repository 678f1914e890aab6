// The second thread: a job slot under a mutex, and a short spin before a
// wait sleeps, as the two shares of a job mostly end close together.
#include "module/second_thread.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#ifndef _WIN32
#include <pthread.h>
#endif

namespace tqcore::module {
namespace {

class State {
  public:
    bool start() noexcept {
        if (m_started) return true;
        try {
            std::thread([this] { serve(); }).detach();
        } catch (...) {
            return false;
        }
        m_started = true;
        return true;
    }

    void run(SecondThread::Job job, void* arg) noexcept {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_job = job;
            m_arg = arg;
            m_idle.store(false, std::memory_order_relaxed);
        }
        m_wake.notify_one();
    }

    bool idle() const noexcept { return m_idle.load(std::memory_order_acquire); }

    void wait() noexcept {
        constexpr int kSpins = 1 << 14;
        for (int spin = 0; spin < kSpins && !idle(); ++spin) __builtin_ia32_pause();
        if (idle()) return;
        std::unique_lock<std::mutex> lock(m_mutex);
        m_done.wait(lock, [this] { return m_job == nullptr; });
    }

  private:
    void serve() noexcept {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_job != nullptr; });
            const SecondThread::Job job = m_job;
            void* const arg = m_arg;
            lock.unlock();
            job(arg);
            lock.lock();
            m_job = nullptr;
            m_idle.store(true, std::memory_order_release);
            m_done.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;  // a job is there
    std::condition_variable m_done;  // it is done
    SecondThread::Job m_job = nullptr;
    void* m_arg = nullptr;
    std::atomic<bool> m_idle{true};  // no job: read without the lock
    bool m_started = false;          // only the holder starts it
};

std::atomic<int> g_running{0};
std::atomic<bool> g_held{false};
std::atomic<bool> g_forked{false};
std::atomic<bool> g_allowed{true};
thread_local unsigned t_holds = 0;

// Never destroyed: the thread may outlive static destruction.
State* TheState() noexcept {
    static State* const state = [] {
#ifndef _WIN32
        pthread_atfork(nullptr, nullptr, [] { g_forked.store(true); });
#endif
        return new (std::nothrow) State;
    }();
    return state;
}

}  // namespace

bool SecondThread::Enter() noexcept {
    return g_running.fetch_add(1, std::memory_order_relaxed) == 0;
}

void SecondThread::Leave() noexcept {
    g_running.fetch_sub(1, std::memory_order_relaxed);
}

bool SecondThread::Crowded() noexcept {
    return g_running.load(std::memory_order_relaxed) > 1;
}

bool SecondThread::Hold() noexcept {
    if (t_holds) {
        if (!TheState()->idle()) return false;
        ++t_holds;
        return true;
    }
    if (g_forked.load(std::memory_order_relaxed) || !g_allowed.load(std::memory_order_relaxed) ||
        g_held.exchange(true, std::memory_order_acquire))
        return false;
    State* state = TheState();
    if (!state || !state->start()) {
        g_held.store(false, std::memory_order_release);
        return false;
    }
    t_holds = 1;
    return true;
}

void SecondThread::Let() noexcept {
    if (--t_holds) return;
    TheState()->wait();
    g_held.store(false, std::memory_order_release);
}

bool SecondThread::Allow(bool allowed) noexcept {
    return g_allowed.exchange(allowed);
}

bool SecondThread::Idle() noexcept {
    return TheState()->idle();
}

void SecondThread::Start(Job job, void* arg) noexcept {
    TheState()->run(job, arg);
}

void SecondThread::Wait() noexcept {
    TheState()->wait();
}

}  // namespace tqcore::module
