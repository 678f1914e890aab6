#include "xmlobj/reports.h"

#include "tqcore/diag.h"
#include "tqplatform/system.h"

namespace tqcore::reports {

void Assumption(const char* expression, unsigned int line, const char* function) noexcept {
    if (DetailedMessageBox(expression, "Runtime assumption failed", "xmlobj", line, function) &&
        tqplat::IsDebuggerPresent())
        tqplat::DebugBreak();
}

}  // namespace tqcore::reports
