#pragma once
// Helpers shared by the contract tests: UTF-16 literals, the capture of what
// the library logs, and allocation failure on demand.
#include "support/capture.h"
#include "tqcore/heap.h"
#include "tqcore/wtext.h"

namespace tqtest {

using tqcore::W;

// What `call` returns while every allocation fails.
template <class Call>
auto WithoutMemory(Call call) {
    tqcore::SetAllocationFailureCountdown(0);
    const auto result = call();
    tqcore::SetAllocationFailureCountdown(-1);
    return result;
}

}  // namespace tqtest
