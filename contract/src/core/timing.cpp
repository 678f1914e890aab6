// Lapse timers and the re-entrant lock.
#include "tqcore/timing.h"

#include <chrono>

#include "tqcore/diag.h"

namespace tqcore {
namespace {

std::int64_t nowNs() noexcept {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

CHFLapse::CHFLapse(bool start) noexcept {
    if (start) Start();
}

void CHFLapse::Start() noexcept {
    m_iElapsedNs = 0;
    m_iStartNs = nowNs();
    m_fRunning = true;
}

void CHFLapse::Stop() noexcept {
    if (!m_fRunning) return;
    m_iElapsedNs = nowNs() - m_iStartNs;
    m_fRunning = false;
}

CHFLapse::operator double() const noexcept {
    const std::int64_t ns = m_fRunning ? nowNs() - m_iStartNs : m_iElapsedNs;
    return static_cast<double>(ns) / 1e6;
}

COSCriticalSection::COSCriticalSection(unsigned int spinCount) noexcept : m_uSpinCount(spinCount) {}

void COSCriticalSection::Enter() {
    if (TryEnter()) return;
    for (unsigned int spin = 1; spin < m_uSpinCount; ++spin) {
        if (TryEnter()) return;
    }
    m_mutex.lock();
    m_owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
    m_uDepth = 1;
}

bool COSCriticalSection::TryEnter() noexcept {
    // Only this thread can have stored its own id, so the relaxed read is
    // exact for the question "do I own it?".
    if (m_owner.load(std::memory_order_relaxed) == std::this_thread::get_id()) {
        ++m_uDepth;
        return true;
    }
    if (!m_mutex.try_lock()) return false;
    m_owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
    m_uDepth = 1;
    return true;
}

void COSCriticalSection::Leave() noexcept {
    if (m_owner.load(std::memory_order_relaxed) != std::this_thread::get_id()) {
        DetailedMessageBox("Leave by a thread that does not own the lock",
                           "Runtime assumption failed", "timing", __LINE__, __PRETTY_FUNCTION__);
        return;
    }
    if (--m_uDepth != 0) return;
    m_owner.store(std::thread::id(), std::memory_order_relaxed);
    m_mutex.unlock();
}

}  // namespace tqcore
