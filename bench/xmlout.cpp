// Write throughput: every corpus document written from its tree to a memory
// sink and to a file sink, beside the peers serialising the same documents.
// Figures are MB (10^6 bytes) of output per second. The memory sinks write
// UTF-16 where the writer can; the allocator setting (TQXML_BENCH_KEEP_MEMORY)
// is described in allocator_setting.h.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "allocator_setting.h"
#include "peer_headers.h"
#include "tqxml/tqxml.h"
#include "tqxml/xmldoc.h"

using namespace tqcore;

namespace {

const char* const kDocuments[] = {
    "Gio-2.0.gir.xml",     "attrs.xml",     "deep.xml",        "docbook-5.0.rng.xml",
    "freedesktop.org.xml", "iso_639-3.xml", "libxml2-api.xml", "libxml2-news.xhtml.xml",
    "records.xml",         "text.xml",      "wide.xml",
};

const char* const kFileTarget = "/tmp/tqxml-bench-xmlout.xml";

std::string ReadCorpus(const char* name) {
    std::ifstream in(std::string(TQXML_CORPUS_DIR) + "/" + name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void ReportRate(benchmark::State& state, std::uint64_t bytesPerIteration) {
    state.counters["MB/s"] = benchmark::Counter(
        static_cast<double>(bytesPerIteration) * 1e-6 * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
    state.counters["out_MB"] = static_cast<double>(bytesPerIteration) * 1e-6;
}

// The parsed tree of a document, kept for the whole run.
const CXMLObject* Tree(const char* name) {
    static std::map<std::string, std::unique_ptr<CXMLDoc>> docs;
    auto& doc = docs[name];
    if (!doc) {
        doc = std::make_unique<CXMLDoc>();
        const std::string text = "\xEF\xBB\xBF" + ReadCorpus(name);  // read as UTF-8
        if (!doc->OpenDocText(static_cast<const void*>(text.c_str()), CXML_REPORT_SILENT))
            return nullptr;
    }
    return doc->GetContent() ? &doc->GetContent() : nullptr;
}

void TqxmlMemory(benchmark::State& state, const char* name) {
    const CXMLObject* tree = Tree(name);
    if (!tree) return state.SkipWithError("the document did not parse");
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        CXMLMemOut sink;
        if (!sink.Open() || !sink.Write(*tree) || !sink.Close(false))
            return state.SkipWithError("write failed");
        bytes = sink.GetSize();
        benchmark::DoNotOptimize(static_cast<const void*>(sink));
    }
    ReportRate(state, bytes);
}

void TqxmlFile(benchmark::State& state, const char* name) {
    const CXMLObject* tree = Tree(name);
    if (!tree) return state.SkipWithError("the document did not parse");
    const std::u16string path(kFileTarget,
                              kFileTarget + std::char_traits<char>::length(kFileTarget));
    for (auto _ : state) {
        CXMLFileOut sink;
        if (!sink.Open(path.c_str(), 0) || !sink.Write(*tree) || !sink.Close(false))
            return state.SkipWithError("write failed");
    }
    std::ifstream written(kFileTarget, std::ios::binary | std::ios::ate);
    ReportRate(state, static_cast<std::uint64_t>(written.tellg()));
    std::remove(kFileTarget);
}

#ifdef TQXML_HAVE_PUGIXML
// Collects the output in one growing buffer, as the memory sink does.
struct PugiBuffer : pugi::xml_writer {
    std::vector<char> bytes;
    void write(const void* data, size_t size) override {
        bytes.insert(bytes.end(), static_cast<const char*>(data),
                     static_cast<const char*>(data) + size);
    }
};

const pugi::xml_document* PugiDocument(const char* name) {
    static std::map<std::string, std::unique_ptr<pugi::xml_document>> docs;
    auto& doc = docs[name];
    if (!doc) {
        doc = std::make_unique<pugi::xml_document>();
        const std::string text = ReadCorpus(name);
        if (!doc->load_buffer(text.data(), text.size())) return nullptr;
    }
    return doc.get();
}

void PugiMemory(benchmark::State& state, const char* name) {
    const pugi::xml_document* doc = PugiDocument(name);
    if (!doc) return state.SkipWithError("the document did not parse");
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        PugiBuffer out;
        doc->save(out, PUGIXML_TEXT(""), pugi::format_raw | pugi::format_write_bom,
                  pugi::encoding_utf16_le);
        bytes = out.bytes.size();
        benchmark::DoNotOptimize(out.bytes.data());
    }
    ReportRate(state, bytes);
}

void PugiFile(benchmark::State& state, const char* name) {
    const pugi::xml_document* doc = PugiDocument(name);
    if (!doc) return state.SkipWithError("the document did not parse");
    for (auto _ : state)
        if (!doc->save_file(kFileTarget, PUGIXML_TEXT(" "),
                            pugi::format_default | pugi::format_write_bom, pugi::encoding_utf16_le))
            return state.SkipWithError("write failed");
    std::ifstream written(kFileTarget, std::ios::binary | std::ios::ate);
    ReportRate(state, static_cast<std::uint64_t>(written.tellg()));
    std::remove(kFileTarget);
}
#endif

#ifdef TQXML_HAVE_LIBXML2
xmlDocPtr Libxml2Document(const char* name) {
    static std::map<std::string, xmlDocPtr> docs;
    xmlDocPtr& doc = docs[name];
    if (!doc) {
        const std::string text = ReadCorpus(name);
        doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), name, nullptr,
                            XML_PARSE_NONET | XML_PARSE_HUGE);
    }
    return doc;
}

// libxml2 in its own output encoding (UTF-8, `encoding` null) or in UTF-16,
// which it makes through a character converter.
void Libxml2Memory(benchmark::State& state, const char* name, const char* encoding) {
    xmlDocPtr doc = Libxml2Document(name);
    if (!doc) return state.SkipWithError("the document did not parse");
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        xmlChar* text = nullptr;
        int size = 0;
        if (encoding)
            xmlDocDumpMemoryEnc(doc, &text, &size, encoding);
        else
            xmlDocDumpMemory(doc, &text, &size);
        bytes = static_cast<std::uint64_t>(size);
        xmlFree(text);
    }
    ReportRate(state, bytes);
}

void Libxml2File(benchmark::State& state, const char* name) {
    xmlDocPtr doc = Libxml2Document(name);
    if (!doc) return state.SkipWithError("the document did not parse");
    for (auto _ : state)
        if (xmlSaveFormatFile(kFileTarget, doc, 1) < 0) return state.SkipWithError("write failed");
    std::ifstream written(kFileTarget, std::ios::binary | std::ios::ate);
    ReportRate(state, static_cast<std::uint64_t>(written.tellg()));
    std::remove(kFileTarget);
}
#endif

const bool kRegistered = [] {
    ApplyAllocatorSetting();
    for (const char* name : kDocuments) {
        const std::string doc(name);
        benchmark::RegisterBenchmark(("tqxml_memory/" + doc).c_str(), TqxmlMemory, name)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("tqxml_file/" + doc).c_str(), TqxmlFile, name)
            ->Unit(benchmark::kMillisecond);
#ifdef TQXML_HAVE_PUGIXML
        benchmark::RegisterBenchmark(("pugixml_utf16_memory/" + doc).c_str(), PugiMemory, name)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("pugixml_utf16_file/" + doc).c_str(), PugiFile, name)
            ->Unit(benchmark::kMillisecond);
#endif
#ifdef TQXML_HAVE_LIBXML2
        benchmark::RegisterBenchmark(("libxml2_memory/" + doc).c_str(), Libxml2Memory, name,
                                     nullptr)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("libxml2_utf16_memory/" + doc).c_str(), Libxml2Memory, name,
                                     "UTF-16LE")
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("libxml2_file/" + doc).c_str(), Libxml2File, name)
            ->Unit(benchmark::kMillisecond);
#endif
    }
    return true;
}();

}  // namespace
