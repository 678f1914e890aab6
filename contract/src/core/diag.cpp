// Assertion reports, the debug switch and the exception filter.
#include "tqcore/diag.h"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tqcore/log.h"
#include "tqcore/wtext.h"

namespace tqcore {
namespace {

const char* orNone(const char* text) {
    return text ? text : "(none)";
}

bool defaultReport(const char* expression, const char* title, const char* file, unsigned int line,
                   const char* function) {
    // One fprintf so that reports from several threads do not interleave.
    std::fprintf(stderr, "%s: %s [%s:%u in %s]\n", orNone(title), orNone(expression), orNone(file),
                 line, orNone(function));
    return false;
}

std::atomic<DetailedMessageBoxHook> g_reportHook{nullptr};

// Read once, on first use, so that start-up code may already ask.
std::atomic<bool>& debugSwitch() {
    static std::atomic<bool> on{[] {
        const char* value = std::getenv("TQ_DEBUG");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }()};
    return on;
}

const char* faultName(int signal) {
    switch (signal) {
        case SIGSEGV:
            return "access violation";
#ifdef SIGBUS  // not on Windows
        case SIGBUS:
            return "bus error";
#endif
        case SIGFPE:
            return "arithmetic fault";
        case SIGILL:
            return "illegal instruction";
        default:
            return nullptr;
    }
}

}  // namespace

bool DetailedMessageBox(const char* expression, const char* title, const char* file,
                        unsigned int line, const char* function) {
    DetailedMessageBoxHook hook = g_reportHook.load(std::memory_order_acquire);
    return (hook ? hook : defaultReport)(expression, title, file, line, function);
}

DetailedMessageBoxHook SetDetailedMessageBoxHook(DetailedMessageBoxHook hook) {
    return g_reportHook.exchange(hook, std::memory_order_acq_rel);
}

bool IsDebugOn() {
    return debugSwitch().load(std::memory_order_relaxed);
}

void SetDebugOn(bool on) {
    debugSwitch().store(on, std::memory_order_relaxed);
}

int AnalyseException(int signal, const void* faultAddress) {
    const char* name = faultName(signal);
    if (IsDebugOn()) {
        wPrintf(0, 15, W(u"\rException: %hs (signal %d) at 0x%I64x\r\n"),
                name ? name : "unhandled signal", signal,
                static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(faultAddress)));
    }
    return name ? EXCEPTION_EXECUTE_HANDLER : EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace tqcore
