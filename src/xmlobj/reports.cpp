#include "xmlobj/reports.h"

#include "tqcore/diag.h"
#include "tqplatform/system.h"

namespace tqcore::reports {

void Report(const char* title, const char* source, const char* text, unsigned int line,
            const char* function) noexcept {
    if (DetailedMessageBox(text, title, source, line, function) && tqplat::IsDebuggerPresent())
        tqplat::DebugBreak();
}

void Assumption(const char* expression, unsigned int line, const char* function) noexcept {
    Report(kTitleAssumption, "xmlobj", expression, line, function);
}

}  // namespace tqcore::reports
