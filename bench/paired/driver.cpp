// One build of the library for bench/paired/paired.cpp: loaded beside the
// other build's copy in one process, it parses and releases a text, or
// writes the tree of a text to a memory sink.
#include <map>
#include <memory>

#include "parser/second_half.h"
#include "tqxml/xmldoc.h"
#include "tqxml/xmlout.h"

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

// The tree of a UTF-8 text is parsed at the first call and kept; each call
// writes it once.
PAIRED_EXPORT int paired_write(const void* text) {
    static std::map<const void*, std::unique_ptr<tqcore::CXMLDoc>> trees;
    auto& doc = trees[text];
    if (!doc) {
        doc = std::make_unique<tqcore::CXMLDoc>();
        if (!doc->OpenDocText(static_cast<const unsigned char*>(text), tqcore::CXML_REPORT_SILENT))
            return 0;
    }
    tqcore::CXMLMemOut sink;
    return sink.Open() && sink.Write(doc->GetContent()) && sink.Close(false);
}
