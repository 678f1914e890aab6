// Standard streams on Windows carry bytes as they are: no CR added before a
// LF on the way out, none taken away on the way in.
#include "standard_streams.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace tqxmltool {

void PrepareStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace tqxmltool
