// Character references in narrow text: one UTF-16 unit converted in place.
#include <cstring>

#include "parser/unit_traits.h"

namespace tqcore::parser {

int PutNarrowChar(std::uint32_t codePage, char* out, unsigned short value) {
    // One unit makes at most three bytes, and a reference whose value needs
    // three ("&#x800;") is longer than that: the output never overtakes the
    // text still to be read.
    char bytes[4];
    const int n =
        tqplat::WideCharToMultiByte(codePage, 0, &value, 1, bytes, sizeof bytes, nullptr, nullptr);
    if (n <= 0) return 0;
    std::memcpy(out, bytes, static_cast<std::size_t>(n));
    return n;
}

}  // namespace tqcore::parser
