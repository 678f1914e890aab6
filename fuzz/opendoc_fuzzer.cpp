// Feeds arbitrary bytes to every width of the text loader. Every parse is
// shared with the library's second thread, from a start the input's first
// byte picks, so that the second thread reads arbitrary text as well.
#include <tqxml/tqxml.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "../src/parser/second_half.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tqcore::parser::SetSecondHalfSettings({0, size ? data[0] % 100u : 50u, 0});
    tqcore::CXMLDoc doc;
    // Narrow widths: the bytes as they are, terminated for any width, since
    // the width-detecting form may read them as UTF-16.
    std::vector<char> narrow(data, data + size);
    narrow.insert(narrow.end(), 4, 0);
    doc.OpenDocText(narrow.data(), 2);
    doc.OpenDocText(reinterpret_cast<const unsigned char*>(narrow.data()), 2);
    doc.OpenDocText(static_cast<const void*>(narrow.data()), 2);
    // UTF-16: the bytes as units, terminated.
    std::vector<unsigned short> wide(size / 2 + 1, 0);
    if (size >= 2) std::memcpy(wide.data(), data, size / 2 * 2);
    doc.OpenDocText(wide.data(), 2);
    doc.OpenDocText(static_cast<const void*>(wide.data()), 2);
    return 0;
}
