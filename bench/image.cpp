// Binary images against XML text, per corpus document: loading an image
// (UTF-16 and UTF-8 strings) against parsing the same tree from UTF-16 and
// UTF-8 text, storing, packing and unpacking. Each iteration builds the
// whole tree (or image, or pack); the destruction of a built tree, the same
// work whichever way it was built, is left out of the time. Before the
// timings a table gives the image sizes against the XML sizes and the memory
// of a packed tree against the node tree.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "corpus_documents.h"
#include "tqxml/xmldoc.h"
#include "tqxml/xmlobj.h"

using namespace tqcore;

namespace {

struct Prepared {
    Document text;
    CXMLDoc doc;        // owns the parsed tree
    CPMemory image[2];  // [0] UTF-8 strings, [1] UTF-16 strings
    Cxmpobject packed;
    const CXMLObject& Tree() { return doc.GetContent(); }
};

std::uint64_t MemUsage(const CXMLObject& tree) {
    std::uint64_t used = 0, spare = 0;
    tree.GetMemUsage(used, spare);
    return used + spare;
}

std::uint64_t MemUsage(const Cxmpobject& packed) {
    std::uint64_t used = 0, spare = 0;
    packed.GetMemUsage(used, spare);
    return used + spare;
}

// Destroys what an iteration built outside the timed part.
template <class Built>
void DropUntimed(benchmark::State& state, Built& built) {
    state.PauseTiming();
    built = Built();
    state.ResumeTiming();
}

void Parse(benchmark::State& state, Prepared* p, bool wide) {
    for (auto _ : state) {
        auto doc = std::make_unique<CXMLDoc>();
        const bool parsed =
            wide ? doc->OpenDocText(reinterpret_cast<const unsigned short*>(p->text.utf16.c_str()),
                                    CXML_REPORT_SILENT)
                 : doc->OpenDocText(reinterpret_cast<const unsigned char*>(p->text.utf8.c_str()),
                                    CXML_REPORT_SILENT);
        if (!parsed) {
            state.SkipWithError("parse failed");
            break;
        }
        DropUntimed(state, doc);
    }
}

void LoadImage(benchmark::State& state, Prepared* p, bool wide) {
    for (auto _ : state) {
        CXMLObject tree = CXMLObject::Load(p->image[wide]);
        if (!tree) {
            state.SkipWithError("load failed");
            break;
        }
        DropUntimed(state, tree);
    }
}

void StoreImage(benchmark::State& state, Prepared* p, bool wide) {
    for (auto _ : state) {
        CPMemory image;
        if (!CXMLObject::Store(image, p->Tree(), wide)) {
            state.SkipWithError("store failed");
            break;
        }
    }
}

void Pack(benchmark::State& state, Prepared* p, bool) {
    for (auto _ : state) {
        if (!Cxmpobject(p->Tree())) {
            state.SkipWithError("pack failed");
            break;
        }
    }
}

void Unpack(benchmark::State& state, Prepared* p, bool) {
    for (auto _ : state) {
        CXMLObject tree = p->packed;
        if (!tree) {
            state.SkipWithError("unpack failed");
            break;
        }
        DropUntimed(state, tree);
    }
}

using Runner = void (*)(benchmark::State&, Prepared*, bool);

struct Measured {
    const char* name;
    Runner run;
    bool wide;
};

const Measured kMeasures[] = {
    {"parse_utf16", Parse, true},
    {"parse_utf8", Parse, false},
    {"load_utf16", LoadImage, true},
    {"load_utf8", LoadImage, false},
    {"store_utf16", StoreImage, true},
    {"store_utf8", StoreImage, false},
    {"pack", Pack, false},
    {"unpack", Unpack, false},
};

}  // namespace

int main(int argc, char** argv) {
    static std::vector<std::unique_ptr<Prepared>> prepared;  // outlive the runs
    std::printf("%-24s %10s %10s %10s %10s %6s %6s %10s %10s\n", "document", "xml_utf16",
                "xml_utf8", "img_utf16", "img_utf8", "16/16", "8/8", "tree_mem", "packed_mem");
    for (const char* name : kDocuments) {
        auto p = std::make_unique<Prepared>();
        if (!Load(name, p->text)) {
            std::fprintf(stderr, "cannot read %s/%s\n", TQXML_CORPUS_DIR, name);
            return 1;
        }
        if (!p->doc.OpenDocText(reinterpret_cast<const unsigned short*>(p->text.utf16.c_str()),
                                CXML_REPORT_SILENT)) {
            std::printf("%-24s does not parse: left out\n", name);
            continue;
        }
        if (!CXMLObject::Store(p->image[0], p->Tree(), false) ||
            !CXMLObject::Store(p->image[1], p->Tree(), true) || !(p->packed = p->Tree())) {
            std::fprintf(stderr, "cannot store or pack %s\n", name);
            return 1;
        }
        const double xml16 = static_cast<double>(p->text.Utf16Bytes());
        const double xml8 = static_cast<double>(p->text.utf8.size());
        const double img16 = static_cast<double>(p->image[1].GetSize());
        const double img8 = static_cast<double>(p->image[0].GetSize());
        std::printf("%-24s %10.0f %10.0f %10.0f %10.0f %6.2f %6.2f %10llu %10llu\n", name, xml16,
                    xml8, img16, img8, img16 / xml16, img8 / xml8,
                    static_cast<unsigned long long>(MemUsage(p->Tree())),
                    static_cast<unsigned long long>(MemUsage(p->packed)));
        for (const Measured& m : kMeasures)
            benchmark::RegisterBenchmark((std::string("image/") + m.name + "/" + name).c_str(),
                                         m.run, p.get(), m.wide)
                ->Unit(benchmark::kMillisecond);
        prepared.push_back(std::move(p));
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
