// Conversion to UTF-16LE through iconv, which knows every encoding glibc has.
#include "convert.h"

#include <errno.h>
#include <iconv.h>

namespace tqxmltool {

bool ToUtf16(const std::string& encoding, const std::vector<unsigned char>& in,
             DecodedText& result) {
    iconv_t converter = iconv_open("UTF-16LE", encoding.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        result.problem = "an encoding this tool does not know";
        return false;
    }
    std::vector<unsigned char>& out = result.text;
    out.resize(in.size() * 2 + 16);
    char* from = reinterpret_cast<char*>(const_cast<unsigned char*>(in.data()));
    std::size_t fromLeft = in.size();
    std::size_t used = 0;
    bool ok = true;
    while (fromLeft > 0) {
        char* to = reinterpret_cast<char*>(out.data() + used);
        std::size_t toLeft = out.size() - used;
        const std::size_t converted = iconv(converter, &from, &fromLeft, &to, &toLeft);
        const int error = errno;
        used = out.size() - toLeft;
        if (converted != static_cast<std::size_t>(-1)) break;
        if (error == E2BIG && out.size() <= kMaxTextBytes) {
            out.resize(out.size() * 2);
            continue;
        }
        const std::size_t offset = in.size() - fromLeft;
        result.problem = error == E2BIG ? "larger than the parser takes once converted to UTF-16"
                         : error == EINVAL
                             ? "ends inside a " + encoding + " character"
                             : "not valid " + encoding + " at byte " + std::to_string(offset);
        ok = false;
        break;
    }
    iconv_close(converter);
    out.resize(used);
    return ok;
}

}  // namespace tqxmltool
