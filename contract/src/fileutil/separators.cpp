// Path separators, '/' or the Windows '\\'.
#include "tqcore/fileutil.h"

namespace tqcore {

unsigned short* FU_FindLastSeparator(unsigned short* path) {
    if (path == nullptr) return nullptr;
    unsigned short* last = nullptr;
    for (unsigned short* at = path; *at != 0; ++at) {
        if (*at == '/' || *at == '\\') last = at;
    }
    return last;
}

}  // namespace tqcore
