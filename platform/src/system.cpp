// The debugger: a tracer attached to the process, and a trap for it.
#include "tqplatform/system.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tqplat {

bool IsDebuggerPresent() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return false;
    char line[256];
    long tracer = 0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, "TracerPid:", 10) == 0) {
            tracer = std::strtol(line + 10, nullptr, 10);
            break;
        }
    }
    std::fclose(status);
    return tracer != 0;
}

void DebugBreak() {
    std::raise(SIGTRAP);
}

}  // namespace tqplat
