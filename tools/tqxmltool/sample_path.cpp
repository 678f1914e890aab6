// The sample found through /proc/self/exe.
#include "sample_path.h"

#include <unistd.h>

namespace tqxmltool {

std::string SamplePath() {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self);
    if (n > 0 && static_cast<std::size_t>(n) < sizeof self) {
        std::string installed(self, static_cast<std::size_t>(n));
        installed.erase(installed.rfind('/') + 1);
        installed += TQXMLTOOL_INSTALLED_SAMPLE;
        if (access(installed.c_str(), R_OK) == 0) return installed;
    }
    return TQXMLTOOL_SAMPLE;
}

}  // namespace tqxmltool
