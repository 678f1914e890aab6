#pragma once
// Standard input and output made ready before any command runs.

namespace tqxmltool {

void PrepareStandardStreams();

}  // namespace tqxmltool
