// Reading an input whole, with running out of memory as a result.
#include <new>

#include "input.h"
#include "input_sources.h"

namespace tqxmltool {

Input ReadInput(const std::string& path) {
    Input in;
    try {
        if (path == "-")
            ReadStandardInput(in);
        else
            ReadPath(path, in);
    } catch (const std::bad_alloc&) {
        std::vector<unsigned char>().swap(in.bytes);
        in.status = ReadStatus::Unreadable;
        in.problem = "not enough memory to hold it";
    }
    return in;
}

}  // namespace tqxmltool
