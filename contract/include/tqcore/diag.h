#pragma once
// Diagnostics: assertion reports, the debug switch and the exception filter.
#include "tqcore/export.h"
#include "tqplatform/system.h"  // MessageBoxHook, SetMessageBoxHook

namespace tqcore {

// Assertion report. Default: one line on stderr, returns false (no break).
// True means the caller is to break into the debugger.
TQCORE_API bool DetailedMessageBox(const char* expression, const char* title, const char* file,
                                   unsigned int line, const char* function);
using DetailedMessageBoxHook = bool (*)(const char* expression, const char* title, const char* file,
                                        unsigned int line, const char* function);
// Returns the previous hook; null restores the default.
TQCORE_API DetailedMessageBoxHook SetDetailedMessageBoxHook(DetailedMessageBoxHook hook);

// Initial value: true when the environment variable TQ_DEBUG is "1".
TQCORE_API bool IsDebugOn();
TQCORE_API void SetDebugOn(bool on);

// Exception-filter results, as a structured exception filter returns them.
constexpr int EXCEPTION_EXECUTE_HANDLER = 1;
constexpr int EXCEPTION_CONTINUE_SEARCH = 0;
constexpr int EXCEPTION_CONTINUE_EXECUTION = -1;
// Describes a processor fault (a signal number and the faulting address) on
// the log when debug output is on, and tells the guard to handle it.
TQCORE_API int AnalyseException(int signal, const void* faultAddress);

}  // namespace tqcore
