#include "module/reports.h"

#include "tqcore/diag.h"
#include "tqplatform/system.h"

namespace tqcore::reports {
namespace {

void Report(const char* source, const char* text, const char* title, unsigned int line,
            const char* function) noexcept {
    if (DetailedMessageBox(text, title, source, line, function) && tqplat::IsDebuggerPresent())
        tqplat::DebugBreak();
}

}  // namespace

void Assumption(const char* source, const char* expression, unsigned int line,
                const char* function) noexcept {
    Report(source, expression, "Runtime assumption failed", line, function);
}

void Exclusion(const char* source, const char* expression, unsigned int line,
               const char* function) noexcept {
    Report(source, expression, "Runtime exclusion failed", line, function);
}

void IllegalCode(const char* source, const char* message, unsigned int line,
                 const char* function) noexcept {
    Report(source, message, "Illegal code point reached", line, function);
}

}  // namespace tqcore::reports
