#pragma once
// The system's side of ReadInput; each fills `in` or says why not.
#include <string>

#include "input.h"

namespace tqxmltool {

void ReadStandardInput(Input& in);
// Anything but "-": a file, a pipe, a FIFO or a device.
void ReadPath(const std::string& path, Input& in);

}  // namespace tqxmltool
