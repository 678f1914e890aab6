#pragma once
// Helpers shared by the contract tests: UTF-16 literals and the capture of
// what the library logs.
#include "support/capture.h"
#include "tqcore/wtext.h"

namespace tqtest {

using tqcore::W;

}  // namespace tqtest
