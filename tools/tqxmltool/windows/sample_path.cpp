// The sample found through the module's own file name.
#include "sample_path.h"

#include <windows.h>

namespace tqxmltool {

std::string SamplePath() {
    char self[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    if (n > 0 && n < sizeof self) {
        std::string installed(self, n);
        installed.erase(installed.find_last_of("/\\") + 1);
        installed += TQXMLTOOL_INSTALLED_SAMPLE;
        if (GetFileAttributesA(installed.c_str()) != INVALID_FILE_ATTRIBUTES) return installed;
    }
    return TQXMLTOOL_SAMPLE;
}

}  // namespace tqxmltool
