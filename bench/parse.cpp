// Parse throughput of every corpus document, as UTF-8 and as UTF-16 text in
// memory, for our parser beside the peer parsers installed on the machine.
// Each iteration builds the whole tree and destroys it again. Bytes processed
// are the input bytes of the encoding measured (UTF-16 text is about twice
// the size of the UTF-8 text), so MB/s compare within one encoding.
//
// Allocator setting, chosen by the environment before any benchmark runs:
//   TQXML_BENCH_KEEP_MEMORY unset or not "1" - glibc malloc defaults: large
//     blocks are mmap'ed and freed memory is trimmed back to the system, so
//     every iteration pays fresh page faults (about 13 us per page here).
//   TQXML_BENCH_KEEP_MEMORY=1 - freed memory is kept by the process (no trim,
//     no mmap for large blocks, a large top pad), so later iterations reuse
//     pages already faulted in. Memory a parser maps by itself (our document
//     buffer) is not affected.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "corpus_documents.h"
#include "tqxml/xmldoc.h"

#ifdef TQXML_HAVE_LIBXML2
#include <libxml/parser.h>
#include <libxml/tree.h>
#endif
#ifdef TQXML_HAVE_PUGIXML
#include <pugixml.hpp>
#endif
#ifdef TQXML_HAVE_TINYXML2
#include <tinyxml2.h>
#endif
#ifdef TQXML_HAVE_XERCESC
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#endif

namespace {

// One element with 200,000 attributes: the duplicate-name test of each
// attribute must not make the parse quadratic.
bool ManyAttributes(Document& doc) {
    std::string text = "<a";
    for (int i = 0; i < 200000; ++i) text += " n" + std::to_string(i) + "='v'";
    return Fill("200000-attributes", text + "/>", doc);
}

enum class Encoding { Utf8, Utf16 };

const char* Text(const Document& d, Encoding e) {
    return e == Encoding::Utf8 ? d.utf8.c_str() : reinterpret_cast<const char*>(d.utf16.c_str());
}
std::size_t Bytes(const Document& d, Encoding e) {
    return e == Encoding::Utf8 ? d.utf8.size() : d.Utf16Bytes();
}

// Runs `parse` (which returns false on a parse error) in the timed loop.
template <class Parse>
void Measure(benchmark::State& state, const Document& d, Encoding e, Parse parse) {
    for (auto _ : state) {
        if (!parse(Text(d, e), Bytes(d, e))) {
            state.SkipWithError("parse failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Bytes(d, e)));
}

void Ours(benchmark::State& state, const Document* d, Encoding e) {
    Measure(state, *d, e, [e](const char* text, std::size_t) {
        tqcore::CXMLDoc doc;  // its destruction frees the tree
        return e == Encoding::Utf8 ? doc.OpenDocText(reinterpret_cast<const unsigned char*>(text),
                                                     tqcore::CXML_REPORT_SILENT)
                                   : doc.OpenDocText(reinterpret_cast<const unsigned short*>(text),
                                                     tqcore::CXML_REPORT_SILENT);
    });
}

#ifdef TQXML_HAVE_LIBXML2
void Libxml2(benchmark::State& state, const Document* d, Encoding e) {
    Measure(state, *d, e, [e](const char* text, std::size_t size) {
        xmlDocPtr doc = xmlReadMemory(text, static_cast<int>(size), "memory.xml",
                                      e == Encoding::Utf8 ? nullptr : "UTF-16LE",
                                      XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_HUGE |
                                          XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        const bool parsed = doc != nullptr;
        xmlFreeDoc(doc);
        return parsed;
    });
}
#endif

#ifdef TQXML_HAVE_PUGIXML
void Pugixml(benchmark::State& state, const Document* d, Encoding e) {
    Measure(state, *d, e, [e](const char* text, std::size_t size) {
        pugi::xml_document doc;
        return static_cast<bool>(
            doc.load_buffer(text, size, pugi::parse_default,
                            e == Encoding::Utf8 ? pugi::encoding_utf8 : pugi::encoding_utf16_le));
    });
}
#endif

#ifdef TQXML_HAVE_TINYXML2
void Tinyxml2(benchmark::State& state, const Document* d, Encoding e) {
    Measure(state, *d, e, [](const char* text, std::size_t size) {
        tinyxml2::XMLDocument doc;
        return doc.Parse(text, size) == tinyxml2::XML_SUCCESS;
    });
}
#endif

#ifdef TQXML_HAVE_XERCESC
void Xerces(benchmark::State& state, const Document* d, Encoding e) {
    using namespace xercesc;
    XercesDOMParser parser;
    parser.setValidationScheme(XercesDOMParser::Val_Never);
    parser.setDoNamespaces(true);
    parser.setLoadExternalDTD(false);
    static const XMLCh kUtf16Le[] = {u'U', u'T', u'F', u'-', u'1', u'6', u'L', u'E', 0};
    Measure(state, *d, e, [&parser, e](const char* text, std::size_t size) {
        MemBufInputSource source(reinterpret_cast<const XMLByte*>(text), size, "memory.xml", false);
        if (e == Encoding::Utf16) source.setEncoding(kUtf16Le);
        parser.parse(source);
        const bool parsed = parser.getErrorCount() == 0 && parser.getDocument() != nullptr;
        parser.resetDocumentPool();  // frees the document
        return parsed;
    });
}
#endif

using Runner = void (*)(benchmark::State&, const Document*, Encoding);

struct Peer {
    const char* name;
    Runner run;
    bool utf16;  // takes UTF-16 input
};

const Peer kParsers[] = {
    {"tqxml", Ours, true},
#ifdef TQXML_HAVE_PUGIXML
    {"pugixml", Pugixml, true},
#endif
#ifdef TQXML_HAVE_LIBXML2
    {"libxml2", Libxml2, true},
#endif
#ifdef TQXML_HAVE_TINYXML2
    {"tinyxml2", Tinyxml2, false},
#endif
#ifdef TQXML_HAVE_XERCESC
    {"xerces-dom", Xerces, true},
#endif
};

void KeepFreedMemory() {
    constexpr int kHuge = 1 << 30;
    mallopt(M_TRIM_THRESHOLD, kHuge);
    mallopt(M_TOP_PAD, 256 << 20);
    // glibc caps the mmap threshold at 32 MiB on 64-bit; larger values are refused.
    if (!mallopt(M_MMAP_THRESHOLD, kHuge)) mallopt(M_MMAP_THRESHOLD, 32 << 20);
}

}  // namespace

int main(int argc, char** argv) {
    const char* keep = std::getenv("TQXML_BENCH_KEEP_MEMORY");
    const bool keepMemory = keep && std::strcmp(keep, "1") == 0;
    if (keepMemory) KeepFreedMemory();
#ifdef TQXML_HAVE_XERCESC
    xercesc::XMLPlatformUtils::Initialize();
#endif
    static std::vector<std::unique_ptr<Document>> documents;  // outlive the runs
    for (std::size_t i = 0; i <= std::size(kDocuments); ++i) {
        auto d = std::make_unique<Document>();
        const bool last = i == std::size(kDocuments);
        if (last ? !ManyAttributes(*d) : !Load(kDocuments[i], *d)) {
            std::fprintf(stderr, "cannot read %s/%s\n", TQXML_CORPUS_DIR,
                         last ? "(200000 attributes)" : kDocuments[i]);
            return 1;
        }
        const char* name = d->name.c_str();
        for (const Peer& p : kParsers) {
            benchmark::RegisterBenchmark((std::string(p.name) + "/utf8/" + name).c_str(), p.run,
                                         d.get(), Encoding::Utf8);
            if (p.utf16)
                benchmark::RegisterBenchmark((std::string(p.name) + "/utf16/" + name).c_str(),
                                             p.run, d.get(), Encoding::Utf16);
        }
        documents.push_back(std::move(d));
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::AddCustomContext("allocator", keepMemory ? "keep freed memory" : "glibc defaults");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
#ifdef TQXML_HAVE_XERCESC
    xercesc::XMLPlatformUtils::Terminate();
#endif
    return 0;
}
