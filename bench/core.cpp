// Interning and block-heap costs beside the obvious standard alternatives.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unordered_set>
#include <vector>

#include "tqcore/heap.h"
#include "tqcore/pool.h"

namespace {

std::vector<std::u16string> ShortNames(int n) {
    std::vector<std::u16string> names;
    for (int i = 0; i < n; ++i)
        names.push_back(u"elem" + std::u16string(1, char16_t(u'a' + i % 26)) +
                        char16_t(u'a' + i / 26 % 26));
    return names;
}

void BM_InternExisting(benchmark::State& state) {
    auto names = ShortNames(512);
    std::vector<tqcore::CPPoolString> held;
    for (auto& n : names) held.emplace_back(n.c_str());
    std::size_t i = 0;
    for (auto _ : state) {
        const std::u16string& n = names[i++ & 511];
        tqcore::CPPoolString s = tqcore::CStringPool::GetStringRefn(
            reinterpret_cast<const unsigned short*>(n.data()), static_cast<unsigned int>(n.size()));
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_InternExisting);

void BM_UnorderedSetFind(benchmark::State& state) {
    auto names = ShortNames(512);
    std::unordered_set<std::u16string> set(names.begin(), names.end());
    std::size_t i = 0;
    for (auto _ : state) {
        const std::u16string& n = names[i++ & 511];
        // The look-up a caller would do from a text and a count.
        auto it = set.find(std::u16string(n.data(), n.size()));
        benchmark::DoNotOptimize(it);
    }
}
BENCHMARK(BM_UnorderedSetFind);

void BM_InternNew(benchmark::State& state) {
    std::u16string text = u"fresh-0000000000";
    std::uint64_t k = 0;
    for (auto _ : state) {
        std::uint64_t v = ++k;
        for (int d = 0; d < 10; ++d, v /= 10) text[15 - d] = char16_t(u'0' + v % 10);
        tqcore::CPPoolString s =
            tqcore::CStringPool::GetStringRefn(reinterpret_cast<const unsigned short*>(text.data()),
                                               static_cast<unsigned int>(text.size()));
        benchmark::DoNotOptimize(s);  // released at once: insert plus remove
    }
}
BENCHMARK(BM_InternNew);

void BM_UnorderedSetInsertErase(benchmark::State& state) {
    std::unordered_set<std::u16string> set;
    std::u16string text = u"fresh-0000000000";
    std::uint64_t k = 0;
    for (auto _ : state) {
        std::uint64_t v = ++k;
        for (int d = 0; d < 10; ++d, v /= 10) text[15 - d] = char16_t(u'0' + v % 10);
        auto it = set.insert(text).first;
        benchmark::DoNotOptimize(it);
        set.erase(it);
    }
}
BENCHMARK(BM_UnorderedSetInsertErase);

void BM_HeapPair(benchmark::State& state) {
    static tqcore::CFHeap heap("bench", 64, 4096, 1, 0xFFFFFFFF);
    for (auto _ : state) {
        void* p = heap.Alloc();
        benchmark::DoNotOptimize(p);
        heap.Free(p);
    }
}
BENCHMARK(BM_HeapPair);

void BM_MallocPair(benchmark::State& state) {
    for (auto _ : state) {
        void* p = std::malloc(64);
        benchmark::DoNotOptimize(p);
        std::free(p);
    }
}
BENCHMARK(BM_MallocPair);

// Many blocks live at once, freed in allocation order.
void BM_HeapBatch(benchmark::State& state) {
    static tqcore::CFHeap heap("bench-batch", 64, 4096, 1, 0xFFFFFFFF);
    std::vector<void*> blocks(1000);
    for (auto _ : state) {
        for (auto& b : blocks) b = heap.Alloc();
        benchmark::DoNotOptimize(blocks.data());
        for (void* b : blocks) heap.Free(b);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_HeapBatch);

void BM_MallocBatch(benchmark::State& state) {
    std::vector<void*> blocks(1000);
    for (auto _ : state) {
        for (auto& b : blocks) b = std::malloc(64);
        benchmark::DoNotOptimize(blocks.data());
        for (void* b : blocks) std::free(b);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_MallocBatch);

}  // namespace
