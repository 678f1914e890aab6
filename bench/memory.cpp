// Memory of a parsed tree per element, for our parser beside the peers.
// Each benchmark parses one document once from its UTF-8 text and keeps the
// tree while it measures:
//   rss_B_per_element - growth of the process's resident set, tree held;
//   memusage_B_per_element - our GetMemUsage (used + spare; pooled strings
//     are not part of it), tqxml only.
// Resident growth means something only in a fresh process, so run one
// benchmark per process (scripts/bench.sh does), e.g.
//   bench_memory --benchmark_filter='^tqxml/records.xml$'
// The parse runs on a thread of its own that has ended before the growth is
// read: what a parser keeps per thread for its next parse (our document
// buffer) is not part of a tree.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#include "peer_headers.h"
#include "tqxml/xmldoc.h"
#include "tqxml/xmlnode.h"

namespace {

const char* const kDocuments[] = {"records.xml", "attrs.xml"};

std::string ReadCorpus(const char* name) {
    std::ifstream in(std::string(TQXML_CORPUS_DIR) + "/" + name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Start tags: every '<' that opens neither an end tag, a comment, a section
// nor a processing instruction.
std::uint64_t CountElements(const std::string& text) {
    std::uint64_t elements = 0;
    for (std::size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at + 1)) {
        const char next = at + 1 < text.size() ? text[at + 1] : '/';
        if (next != '/' && next != '!' && next != '?') ++elements;
    }
    return elements;
}

std::uint64_t ResidentBytes() {
    unsigned long long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%llu %llu", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

// Runs `parse` on a thread of its own and waits for it.
bool OnOwnThread(const std::function<bool()>& parse) {
    bool parsed = false;
    std::thread([&] { parsed = parse(); }).join();
    return parsed;
}

// Parses `name` with `parse(text, size)` (which keeps the tree and returns
// whether it parsed) and reports the growth per element; `memUsage`, when
// given, gives our own figure of the kept tree.
void Measure(benchmark::State& state, const char* name,
             const std::function<bool(const std::string&)>& parse,
             const std::function<std::uint64_t()>& memUsage = nullptr) {
    const std::string text = ReadCorpus(name);
    const std::uint64_t elements = CountElements(text);
    if (elements == 0) return state.SkipWithError("cannot read the document");
    // A first thread makes the thread stack and malloc arena that the parse
    // thread reuses, so that neither counts as the tree's.
    OnOwnThread([] {
        std::free(std::malloc(64));
        return true;
    });
    for (auto _ : state) {
        const std::uint64_t before = ResidentBytes();
        if (!OnOwnThread([&] { return parse(text); }))
            return state.SkipWithError("the document did not parse");
        const std::uint64_t grown = ResidentBytes() - before;
        state.counters["rss_B_per_element"] =
            static_cast<double>(grown) / static_cast<double>(elements);
        if (memUsage)
            state.counters["memusage_B_per_element"] =
                static_cast<double>(memUsage()) / static_cast<double>(elements);
    }
    state.counters["elements"] = static_cast<double>(elements);
}

void Ours(benchmark::State& state, const char* name) {
    tqcore::CXMLDoc doc;
    Measure(
        state, name,
        [&doc](const std::string& text) {
            return doc.OpenDocText(reinterpret_cast<const unsigned char*>(text.c_str()),
                                   tqcore::CXML_REPORT_SILENT);
        },
        [&doc] {
            std::uint64_t used = 0, spare = 0;
            doc.GetContent().GetMemUsage(used, spare);
            return used + spare;
        });
}

#ifdef TQXML_HAVE_PUGIXML
void Pugixml(benchmark::State& state, const char* name) {
    pugi::xml_document doc;
    Measure(state, name, [&doc](const std::string& text) {
        return static_cast<bool>(doc.load_buffer(text.data(), text.size()));
    });
}
#endif

#ifdef TQXML_HAVE_TINYXML2
void Tinyxml2(benchmark::State& state, const char* name) {
    tinyxml2::XMLDocument doc;
    Measure(state, name, [&doc](const std::string& text) {
        return doc.Parse(text.data(), text.size()) == tinyxml2::XML_SUCCESS;
    });
}
#endif

#ifdef TQXML_HAVE_LIBXML2
void Libxml2(benchmark::State& state, const char* name) {
    std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> doc(nullptr, xmlFreeDoc);
    Measure(state, name, [&doc](const std::string& text) {
        doc.reset(xmlReadMemory(text.data(), static_cast<int>(text.size()), "memory.xml", nullptr,
                                XML_PARSE_NONET | XML_PARSE_HUGE));
        return doc != nullptr;
    });
}
#endif

const bool kRegistered = [] {
    using Runner = void (*)(benchmark::State&, const char*);
    const std::pair<const char*, Runner> parsers[] = {
        {"tqxml", Ours},
#ifdef TQXML_HAVE_PUGIXML
        {"pugixml", Pugixml},
#endif
#ifdef TQXML_HAVE_TINYXML2
        {"tinyxml2", Tinyxml2},
#endif
#ifdef TQXML_HAVE_LIBXML2
        {"libxml2", Libxml2},
#endif
    };
    for (const auto& [parser, run] : parsers)
        for (const char* name : kDocuments)
            benchmark::RegisterBenchmark((std::string(parser) + "/" + name).c_str(), run, name)
                ->Iterations(1);
    return true;
}();

}  // namespace
