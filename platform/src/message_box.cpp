// The message box: a seam of our own on every platform, so that hosts and
// tests see parse-error boxes; the default writes them to stderr.
#include <atomic>
#include <cstdio>

#include "tqplatform/system.h"
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
