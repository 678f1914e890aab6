// Formatting of parse error reports.
#include "parser/report_text.h"

#include <cstdarg>

#include "module/module.h"

namespace tqcore::parser {

std::size_t AppendReport(unsigned short* out, std::size_t room, const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = tqplat::_vsnwprintf_l(out, room, reinterpret_cast<const unsigned short*>(format),
                                        module::EnglishLocale(), args);
    va_end(args);
    if (n < 0 || static_cast<std::size_t>(n) >= room) {
        if (room) out[0] = 0;
        return 0;
    }
    return static_cast<std::size_t>(n);
}

}  // namespace tqcore::parser
