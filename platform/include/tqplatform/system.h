#pragma once
// Modules, the debugger and the message box.
#include <cstdint>

#include "tqplatform/export.h"

namespace tqplat {

// A module is named by its base address; null is the main program.
// LoadLibraryW of a module's full path (also the main program's or a library
// already loaded) succeeds and counts a reference; FreeLibrary drops one.
TQPLATFORM_API void* LoadLibraryW(const unsigned short* path);
TQPLATFORM_API bool FreeLibrary(void* module);
// Full path of the module into `buffer`; the length written without the
// terminator, `size` when truncated (terminated, error 122), 0 on failure.
TQPLATFORM_API std::uint32_t GetModuleFileNameW(void* module, unsigned short* buffer,
                                                std::uint32_t size);
// Base address of the module that holds `address`, or null.
TQPLATFORM_API void* GetModuleFromAddress(const void* address);

TQPLATFORM_API bool IsDebuggerPresent();
TQPLATFORM_API void DebugBreak();

constexpr std::uint32_t MB_OK = 0x0;
constexpr std::uint32_t MB_ICONERROR = 0x10;
constexpr int IDOK = 1;

TQPLATFORM_API int MessageBoxW(void* owner, const unsigned short* text,
                               const unsigned short* caption, std::uint32_t type);

}  // namespace tqplat

namespace tqcore {
// Platform message box. Default: caption and text on stderr, returns IDOK (1).
using MessageBoxHook = int (*)(const unsigned short* text, const unsigned short* caption,
                               unsigned int type);
// Returns the previous hook; null restores the default.
TQPLATFORM_API MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
}  // namespace tqcore
