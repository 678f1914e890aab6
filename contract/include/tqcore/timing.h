#pragma once
// Lapse timers and the re-entrant lock.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "tqcore/export.h"

namespace tqcore {

// Measures one lapse on the steady clock with sub-millisecond resolution.
// `Start` begins a new lapse from zero; `Stop` freezes it. Reading a running
// timer gives the time up to now; one never started reads 0.
class TQCORE_API CHFLapse {
  public:
    explicit CHFLapse(bool start = false) noexcept;

    void Start() noexcept;
    void Stop() noexcept;
    // Elapsed milliseconds.
    operator double() const noexcept;

  private:
    std::int64_t m_iStartNs = 0;
    std::int64_t m_iElapsedNs = 0;
    bool m_fRunning = false;
};

// A re-entrant lock: the owning thread may enter again and must leave as
// often as it entered. `spinCount` tries are made before a contended Enter
// blocks. Leave from a thread that does not own the lock is reported and
// ignored.
class TQCORE_API COSCriticalSection {
  public:
    explicit COSCriticalSection(unsigned int spinCount = 0) noexcept;
    COSCriticalSection(const COSCriticalSection&) = delete;
    COSCriticalSection& operator=(const COSCriticalSection&) = delete;

    void Enter();
    // True when the lock was taken (or already held by this thread).
    bool TryEnter() noexcept;
    void Leave() noexcept;

  private:
    std::mutex m_mutex;
    std::atomic<std::thread::id> m_owner;
    unsigned int m_uDepth = 0;  // only touched by the owner
    unsigned int m_uSpinCount;
};

}  // namespace tqcore
