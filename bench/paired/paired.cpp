// Paired comparison of two builds of the library in one process: each round
// parses and releases a document with one build, then with the other (the
// order alternates), and the ratio of the two times is kept. Both see the
// same moment of a shared, noisy machine, so the median ratio settles in a
// few dozen rounds where separate runs differ by tens of percent. With
// "write" for the text, each build writes its tree of the document to a
// memory sink instead.
//   paired BASE_DRIVER NEW_DRIVER ROUNDS DOC:utf8|utf16|write:PARSES...
// PAIRED_SPLIT=1 lets large parses use the second thread (wall clock then);
// TQXML_BENCH_KEEP_MEMORY=1 keeps freed memory in the process.
#include <dlfcn.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "../corpus_documents.h"
#include "../keep_memory.h"

namespace {

using InitFn = void (*)(int);
using ParseFn = int (*)(const void*, int);
using WriteFn = int (*)(const void*);

struct Build {
    ParseFn parse;
    WriteFn write;
    int run(const void* text, int utf8, bool writes) const {
        return writes ? write(text) : parse(text, utf8);
    }
};

bool Open(const char* path, bool split, Build& build) {
    // Each build's libraries carry sonames of their own, so both load side by
    // side; deep binding keeps each build's calls within itself.
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
    if (!handle) {
        std::fprintf(stderr, "%s\n", dlerror());
        return false;
    }
    auto init = reinterpret_cast<InitFn>(dlsym(handle, "paired_init"));
    build.parse = reinterpret_cast<ParseFn>(dlsym(handle, "paired_parse"));
    build.write = reinterpret_cast<WriteFn>(dlsym(handle, "paired_write"));
    if (!init || !build.parse || !build.write) return false;
    init(split ? 1 : 0);
    return true;
}

double Seconds(clockid_t clock) {
    timespec t;
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(
            stderr, "usage: paired BASE_DRIVER NEW_DRIVER ROUNDS DOC:utf8|utf16|write:PARSES...\n");
        return 2;
    }
    const bool split = std::getenv("PAIRED_SPLIT") != nullptr;
    KeepFreedMemoryIfAsked();
    const clockid_t clock = split ? CLOCK_MONOTONIC : CLOCK_THREAD_CPUTIME_ID;
    Build builds[2];
    if (!Open(argv[1], split, builds[0]) || !Open(argv[2], split, builds[1])) return 2;
    const int rounds = std::atoi(argv[3]);
    std::printf("%-24s %-5s %10s %10s %8s %17s\n", "document", "text", "base ms", "new ms",
                "speed-up", "quartiles");
    std::vector<std::unique_ptr<Document>> documents;
    for (int a = 4; a < argc; ++a) {
        const std::string spec = argv[a];
        const std::size_t c1 = spec.find(':'), c2 = spec.find(':', c1 + 1);
        if (c1 == std::string::npos || c2 == std::string::npos) return 2;
        const std::string name = spec.substr(0, c1), width = spec.substr(c1 + 1, c2 - c1 - 1);
        const int parses = std::max(1, std::atoi(spec.c_str() + c2 + 1));
        // Texts stay until the end: the drivers know a text by its address.
        documents.push_back(std::make_unique<Document>());
        Document& doc = *documents.back();
        if (!Load(name, doc)) {
            std::fprintf(stderr, "cannot read %s\n", name.c_str());
            return 2;
        }
        const bool writes = width == "write";
        const int utf8 = width == "utf8" || writes;
        const void* text = utf8 ? static_cast<const void*>(doc.utf8.c_str())
                                : static_cast<const void*>(doc.utf16.c_str());
        for (Build& b : builds)
            if (!b.run(text, utf8, writes)) {
                std::fprintf(stderr, "%s does not parse\n", name.c_str());
                return 1;
            }
        std::vector<double> ratios, times[2];
        for (int r = 0; r < rounds; ++r) {
            double t[2];
            for (int k = 0; k < 2; ++k) {
                const int which = r % 2 ? 1 - k : k;
                const double start = Seconds(clock);
                for (int p = 0; p < parses; ++p) builds[which].run(text, utf8, writes);
                t[which] = (Seconds(clock) - start) / parses;
            }
            ratios.push_back(t[0] / t[1]);
            times[0].push_back(t[0]);
            times[1].push_back(t[1]);
        }
        for (auto* v : {&ratios, &times[0], &times[1]}) std::sort(v->begin(), v->end());
        const std::size_t n = ratios.size();
        std::printf("%-24s %-5s %10.3f %10.3f %8.3f %8.3f..%.3f\n", name.c_str(), width.c_str(),
                    times[0][n / 2] * 1e3, times[1][n / 2] * 1e3, ratios[n / 2], ratios[n / 4],
                    ratios[3 * n / 4]);
        std::fflush(stdout);
    }
    return 0;
}
