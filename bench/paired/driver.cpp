// One build of the library for bench/paired/paired.cpp: loaded beside the
// other build's copy in one process, it parses and releases a text.
#include "parser/second_half.h"
#include "tqxml/xmldoc.h"

#define PAIRED_EXPORT extern "C" __attribute__((visibility("default")))

// Without `split`, every parse stays on the calling thread, whose CPU time
// is then the whole cost.
PAIRED_EXPORT void paired_init(int split) {
    if (!split) tqcore::parser::SetSecondHalfSettings({~std::size_t{0}, 50, 8});
}

PAIRED_EXPORT int paired_parse(const void* text, int utf8) {
    tqcore::CXMLDoc doc;
    return utf8 ? doc.OpenDocText(static_cast<const unsigned char*>(text),
                                  tqcore::CXML_REPORT_SILENT)
                : doc.OpenDocText(static_cast<const unsigned short*>(text),
                                  tqcore::CXML_REPORT_SILENT);
}
