#pragma once
// What the parser, the sinks and the image code share: the log's selector
// pairs, the timing line, and the retry of a file that another holder locks.
#include <cstdint>

#include "tqcore/diag.h"
#include "tqcore/log.h"
#include "tqcore/wtext.h"
#include "tqplatform/files.h"

namespace tqcore::module {

// The selector pairs the library writes its log lines with.
struct LogSelectors {
    unsigned int first;
    unsigned int second;
};
inline constexpr LogSelectors kLogTiming{3, 16};      // timings
inline constexpr LogSelectors kLogTimingPath{3, 15};  // the path that ends a parse's timing line
inline constexpr LogSelectors kLogParseError{0, 15};  // parse-error reports
inline constexpr LogSelectors kLogEcho{3, 4};         // dump headings and the plain sink's text

// Writes a line on the log when debug output is on.
template <class... Args>
void Log(LogSelectors selectors, const char16_t* format, Args... args) {
    if (IsDebugOn()) wPrintf(selectors.first, selectors.second, W(format), args...);
}

// "\r<what> time=<ms>ms, <size>" with the size in kB above 4096 bytes.
inline void LogTiming(const char16_t* what, double milliseconds, std::uint64_t bytes) {
    if (bytes > 4096)
        Log(kLogTiming, u"\r%s time=%fms, %ukB", W(what), milliseconds,
            static_cast<std::uint32_t>(bytes / 1024));
    else
        Log(kLogTiming, u"\r%s time=%fms, %u bytes", W(what), milliseconds,
            static_cast<std::uint32_t>(bytes));
}

// Milliseconds between two tries of a locked file.
inline constexpr std::uint32_t kShareRetryMs = 10;

// Runs `attempt` until it succeeds, fails for another reason than a sharing
// violation, or `timeoutMs` has passed since the first try (a time-out of 0
// tries once). The last error stays as the failed attempt left it.
template <class Attempt>
bool RetryWhileShared(std::uint32_t timeoutMs, Attempt attempt) {
    const std::uint32_t began = tqplat::GetTickCount();
    for (;;) {
        if (attempt()) return true;
        // Ticks are whole milliseconds and the first try may have begun late
        // in one: only a count beyond the time-out shows that it has passed.
        if (tqplat::GetLastError() != tqplat::ERROR_SHARING_VIOLATION || timeoutMs == 0 ||
            tqplat::GetTickCount() - began > timeoutMs)
            return false;
        tqplat::Sleep(kShareRetryMs);
    }
}

}  // namespace tqcore::module
