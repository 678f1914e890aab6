// Sleep and the millisecond tick count used by open retries.
#include <sched.h>
#include <time.h>

#include <cerrno>

#include "tqplatform/files.h"

namespace tqplat {

void Sleep(std::uint32_t milliseconds) {
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec left{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    // A signal must not cut the wait short.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

std::uint32_t GetTickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                             static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

}  // namespace tqplat
