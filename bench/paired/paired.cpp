// Paired comparison of two builds of the library in one process: each round
// parses and releases a document with one build, then with the other (the
// order alternates), and the ratio of the two times is kept. Both see the
// same moment of a shared, noisy machine, so the median ratio settles in a
// few dozen rounds where separate runs differ by tens of percent. With
// "write" for the text, each build writes its tree of the document to a
// memory sink instead. With "threads", each build's scaling is measured:
// the wall time of one thread parsing the UTF-16 text against that of two
// threads at once, each parsing a text of its own (the second one's texts
// rotated, as a different document of the same kind); the columns are then
// the throughput of two threads over that of one.
//   paired BASE_DRIVER NEW_DRIVER ROUNDS DOC:utf8|utf16|write|threads:PARSES...
// PAIRED_SPLIT=1 lets large parses use the second thread (wall clock then);
// TQXML_BENCH_KEEP_MEMORY=1 keeps freed memory in the process.
#include <dlfcn.h>
#include <time.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
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

// Two threads that live as long as the program, so that each keeps its heap
// arena and the libraries' per-thread caches from one measurement to the
// next (with fresh threads for each one, a peer's two-thread time moved by
// 1.6x from one measurement to the next).
class Workers {
  public:
    Workers() {
        for (std::size_t i = 0; i < 2; ++i) m_threads[i] = std::thread([this, i] { loop(i); });
    }
    ~Workers() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        for (std::thread& t : m_threads) t.join();
    }
    // Wall seconds for `parses` parses of `texts[i]` (UTF-16) on thread i,
    // all at once.
    double parse(const Build& build, const std::vector<const void*>& texts, int parses) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_build = &build;
        m_texts = texts;
        m_parses = parses;
        m_pending = texts.size();
        ++m_round;
        const double start = Seconds(CLOCK_MONOTONIC);
        m_wake.notify_all();
        m_done.wait(lock, [this] { return m_pending == 0; });
        return Seconds(CLOCK_MONOTONIC) - start;
    }

  private:
    void loop(std::size_t i) {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (unsigned seen = 0;;) {
            m_wake.wait(lock, [&] { return m_quit || m_round != seen; });
            if (m_quit) return;
            seen = m_round;
            if (i >= m_texts.size()) continue;
            const Build* build = m_build;
            const void* text = m_texts[i];
            const int parses = m_parses;
            lock.unlock();
            for (int p = 0; p < parses; ++p) build->parse(text, 0);
            lock.lock();
            if (--m_pending == 0) m_done.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake, m_done;
    const Build* m_build = nullptr;
    std::vector<const void*> m_texts;
    int m_parses = 0;
    std::size_t m_pending = 0;
    unsigned m_round = 0;
    bool m_quit = false;
    std::thread m_threads[2];
};

// Throughput of two threads over that of one, each on a text of its own.
double Scaling(Workers& workers, const Build& build, const void* first, const void* second,
               int parses) {
    const double one = workers.parse(build, {first}, parses);
    const double two = workers.parse(build, {first, second}, parses);
    return 2 * one / two;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(
            stderr,
            "usage: paired BASE_DRIVER NEW_DRIVER ROUNDS DOC:utf8|utf16|write|threads:PARSES...\n");
        return 2;
    }
    const bool split = std::getenv("PAIRED_SPLIT") != nullptr;
    KeepFreedMemoryIfAsked();
    const clockid_t clock = split ? CLOCK_MONOTONIC : CLOCK_THREAD_CPUTIME_ID;
    Build builds[2];
    if (!Open(argv[1], split, builds[0]) || !Open(argv[2], split, builds[1])) return 2;
    const int rounds = std::atoi(argv[3]);
    std::printf("%-24s %-7s %10s %10s %8s %17s\n", "document", "text", "base", "new", "speed-up",
                "quartiles");
    std::vector<std::unique_ptr<Document>> documents;
    Workers workers;
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
        const bool writes = width == "write", threads = width == "threads";
        const int utf8 = width == "utf8" || writes;
        const void* text = utf8 ? static_cast<const void*>(doc.utf8.c_str())
                                : static_cast<const void*>(doc.utf16.c_str());
        const void* other = nullptr;
        if (threads) {
            documents.push_back(std::make_unique<Document>());
            if (!Fill(name, RotateTexts(doc.utf8, 1), *documents.back())) return 2;
            other = documents.back()->utf16.c_str();
        }
        for (Build& b : builds)
            if (!b.run(text, utf8, writes) || (other && !b.run(other, utf8, writes))) {
                std::fprintf(stderr, "%s does not parse\n", name.c_str());
                return 1;
            }
        if (threads)  // the workers' first parses fault their pages in
            for (const Build& b : builds) Scaling(workers, b, text, other, 1);
        // Times, or with threads scalings; the ratio is the new build's
        // speed (or scaling) over the base's.
        std::vector<double> ratios, values[2];
        for (int r = 0; r < rounds; ++r) {
            double v[2];
            for (int k = 0; k < 2; ++k) {
                const int which = r % 2 ? 1 - k : k;
                if (threads) {
                    v[which] = Scaling(workers, builds[which], text, other, parses);
                    continue;
                }
                const double start = Seconds(clock);
                for (int p = 0; p < parses; ++p) builds[which].run(text, utf8, writes);
                v[which] = (Seconds(clock) - start) / parses * 1e3;
            }
            ratios.push_back(threads ? v[1] / v[0] : v[0] / v[1]);
            values[0].push_back(v[0]);
            values[1].push_back(v[1]);
        }
        for (auto* v : {&ratios, &values[0], &values[1]}) std::sort(v->begin(), v->end());
        const std::size_t n = ratios.size();
        std::printf("%-24s %-7s %10.3f %10.3f %8.3f %8.3f..%.3f\n", name.c_str(), width.c_str(),
                    values[0][n / 2], values[1][n / 2], ratios[n / 2], ratios[n / 4],
                    ratios[3 * n / 4]);
        std::fflush(stdout);
    }
    return 0;
}
