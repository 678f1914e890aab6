// The debugger and the message box.
#include "tqplatform/system.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "wide_text.h"

namespace tqplat {

namespace {

std::atomic<tqcore::MessageBoxHook> g_messageBoxHook{nullptr};

const unsigned short kEmptyText[] = {0};
// Windows titles a box without a caption "Error".
const unsigned short kDefaultCaption[] = {'E', 'r', 'r', 'o', 'r', 0};

int PrintMessageBox(const unsigned short* text, const unsigned short* caption,
                    unsigned int /*type*/) {
    std::fprintf(stderr, "%s: %s\n", Utf8FromWide(caption).c_str(), Utf8FromWide(text).c_str());
    return IDOK;
}

}  // namespace

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

int MessageBoxW(void* /*owner*/, const unsigned short* text, const unsigned short* caption,
                std::uint32_t type) {
    const tqcore::MessageBoxHook hook = g_messageBoxHook.load();
    return (hook != nullptr ? hook : PrintMessageBox)(
        text != nullptr ? text : kEmptyText, caption != nullptr ? caption : kDefaultCaption, type);
}

}  // namespace tqplat

namespace tqcore {

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
    return tqplat::g_messageBoxHook.exchange(hook);
}

}  // namespace tqcore
