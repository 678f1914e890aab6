#include "xmlout/out_reports.h"

#include "tqcore/diag.h"
#include "tqplatform/system.h"

namespace tqcore::outreports {
namespace {

void Report(const char* text, const char* title, unsigned int line, const char* function) noexcept {
    if (DetailedMessageBox(text, title, "xmlout", line, function) && tqplat::IsDebuggerPresent())
        tqplat::DebugBreak();
}

}  // namespace

void Assumption(const char* expression, unsigned int line, const char* function) noexcept {
    Report(expression, "Runtime assumption failed", line, function);
}

void IllegalCode(const char* message, unsigned int line, const char* function) noexcept {
    Report(message, "Illegal code point reached", line, function);
}

}  // namespace tqcore::outreports
