// Not a benchmark: parses and releases one corpus document on one thread,
// again and again, for scripts/instructions.sh to count instructions under
// callgrind. Counting starts after a first parse, so that the string pool's
// tables and the block heaps are in the state a long run keeps them in.
// The second thread is left out: its share is the same work.
//   parse_loop DOCUMENT utf16|utf8 PARSES
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "../corpus_documents.h"
#include "parser/second_half.h"
#include "tqxml/xmldoc.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#endif

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: parse_loop DOCUMENT utf16|utf8 PARSES\n");
        return 2;
    }
    Document doc;
    if (!Load(argv[1], doc)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    const bool utf8 = std::strcmp(argv[2], "utf8") == 0;
    const int parses = std::atoi(argv[3]);
    tqcore::parser::SetSecondHalfSettings({~std::size_t{0}, 50, 8});
    for (int i = 0; i <= parses; ++i) {
        if (i == 1) CALLGRIND_START_INSTRUMENTATION;
        tqcore::CXMLDoc parsed;
        const bool ok =
            utf8 ? parsed.OpenDocText(reinterpret_cast<const unsigned char*>(doc.utf8.c_str()),
                                      tqcore::CXML_REPORT_SILENT)
                 : parsed.OpenDocText(reinterpret_cast<const unsigned short*>(doc.utf16.c_str()),
                                      tqcore::CXML_REPORT_SILENT);
        if (!ok) {
            std::fprintf(stderr, "%s does not parse\n", argv[1]);
            return 1;
        }
    }
    return 0;
}
