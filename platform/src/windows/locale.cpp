// localeconv as the C runtime reports the locale the process selected.
#include <clocale>

#include "tqplatform/wformat.h"

namespace tqplat {

lconv_t* localeconv() {
    // The runtime's strings stay valid until the next setlocale, as there.
    thread_local lconv_t conv;
    const std::lconv* runtime = std::localeconv();
    conv.decimal_point = runtime->decimal_point;
    conv.thousands_sep = runtime->thousands_sep;
    conv.grouping = runtime->grouping;
    return &conv;
}

}  // namespace tqplat
