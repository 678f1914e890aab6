// Parse throughput of every corpus document, as UTF-8 and as UTF-16 text in
// memory, for our parser beside the peer parsers installed on the machine.
// Each iteration builds the whole tree and destroys it again. Bytes processed
// are the input bytes of the encoding measured (UTF-16 text is about twice
// the size of the UTF-8 text), so MB/s compare within one encoding. Parses
// are timed by the wall clock: ours shares a large parse with a second
// thread, whose time the CPU time of the measuring thread would leave out.
//
// threads/...: 1, 2 and 4 threads at once, each parsing and releasing a
// large document of its own (the corpus document with its texts rotated by
// the thread's index), timed by the wall clock; the throughput of n threads
// over that of one is how far parsing scales. threads-same-text/... gives
// every thread a copy of the same text instead. A lone large parse of
// ours takes the library's second thread, parses side by side do not, so
// threads/tqxml-one-core/... runs ours with the second thread turned off,
// every parse and release on its calling thread: how far the shared pool
// and heaps let parses scale.
//
// The allocator setting (TQXML_BENCH_KEEP_MEMORY) is described in
// allocator_setting.h.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "allocator_setting.h"
#include "corpus_documents.h"
#include "module/second_thread.h"
#include "peer_headers.h"
#include "tqxml/xmldoc.h"

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

// The documents the threads benchmark parses, and the parsers it compares.
const char* const kThreadDocuments[] = {"records.xml", "attrs.xml"};
const char* const kThreadParsers[] = {"tqxml", "pugixml"};

// A thread's document in the threads benchmarks. With `sameText` it is its
// own copy of the corpus text: the trees then share every text, the worst
// case for a shared pool. Else the texts are rotated by the thread's index,
// as parses of different documents of one kind share names but few texts.
bool ThreadDocument(const benchmark::State& state, const Document& shared, bool sameText,
                    Document& own) {
    if (sameText) {
        own = shared;
        return true;
    }
    return Fill(shared.name, RotateTexts(shared.utf8, static_cast<unsigned>(state.thread_index())),
                own);
}

// Registers `run` at 1, 2 and 4 threads. `oneCore`: ours with the second
// thread turned off, every parse and release on its calling thread.
void RegisterThreads(const std::string& parser, Runner run, const Document* d, bool sameText,
                     bool oneCore) {
    const auto parseOwn = [](benchmark::State& state, Runner run, const Document* shared,
                             bool sameText) {
        Document own;
        if (!ThreadDocument(state, *shared, sameText, own)) return state.SkipWithError("no text");
        run(state, &own, Encoding::Utf16);
    };
    const std::string group = sameText ? "threads-same-text/" : "threads/";
    auto* b = benchmark::RegisterBenchmark((group + parser + "/utf16/" + d->name).c_str(), parseOwn,
                                           run, d, sameText);
    if (oneCore)
        b->Setup([](const benchmark::State&) {
             tqcore::module::SecondThread::Allow(false);
         })->Teardown([](const benchmark::State&) { tqcore::module::SecondThread::Allow(true); });
    b->Threads(1)->Threads(2)->Threads(4)->UseRealTime();
}

bool InList(const std::string& name, const char* const* list, std::size_t size) {
    return std::find(list, list + size, name) != list + size;
}

}  // namespace

int main(int argc, char** argv) {
    ApplyAllocatorSetting();
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
                                         d.get(), Encoding::Utf8)
                ->UseRealTime();
            if (p.utf16)
                benchmark::RegisterBenchmark((std::string(p.name) + "/utf16/" + name).c_str(),
                                             p.run, d.get(), Encoding::Utf16)
                    ->UseRealTime();
            if (!InList(d->name, kThreadDocuments, std::size(kThreadDocuments))) continue;
            for (const bool sameText : {false, true}) {
                if (InList(p.name, kThreadParsers, std::size(kThreadParsers)))
                    RegisterThreads(p.name, p.run, d.get(), sameText, false);
                if (p.run == Ours) RegisterThreads("tqxml-one-core", Ours, d.get(), sameText, true);
            }
        }
        documents.push_back(std::move(d));
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
#ifdef TQXML_HAVE_XERCESC
    xercesc::XMLPlatformUtils::Terminate();
#endif
    return 0;
}
