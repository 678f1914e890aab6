#pragma once
// Where the bundled sample is.
#include <string>

namespace tqxmltool {

// The sample beside an installed tool, else the one in the source tree.
std::string SamplePath();

}  // namespace tqxmltool
