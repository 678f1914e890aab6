// Modules and the debugger: the system's own. A module handle is its base
// address on Windows as well.
#include "tqplatform/system.h"
// After this layer's names: the system headers define many of them as macros.
#include <windows.h>

namespace tqplat {

void* LoadLibraryW(const unsigned short* path) {
    return ::LoadLibraryW(reinterpret_cast<LPCWSTR>(path));
}

bool FreeLibrary(void* module) {
    return ::FreeLibrary(static_cast<HMODULE>(module)) != FALSE;
}

std::uint32_t GetModuleFileNameW(void* module, unsigned short* buffer, std::uint32_t size) {
    return ::GetModuleFileNameW(static_cast<HMODULE>(module), reinterpret_cast<LPWSTR>(buffer),
                                size);
}

void* GetModuleFromAddress(const void* address) {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCWSTR>(address), &module))
        return nullptr;
    return module;
}

bool IsDebuggerPresent() {
    return ::IsDebuggerPresent() != FALSE;
}

void DebugBreak() {
    ::DebugBreak();
}

}  // namespace tqplat
