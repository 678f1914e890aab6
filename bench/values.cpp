// Typed values and navigation: child lookup, path walks, tag building and
// the exact double reader, beside plain baselines.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "tqcore/wtext.h"
#include "tqxml/xmlobj.h"

using namespace tqcore;

namespace {

CPPoolString Pooled(const std::u16string& text) {
    return CStringPool::GetStringRef(text.c_str());
}

std::u16string Decimal(int value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

// The wanted child is the last of 1,000, so every lookup scans them all.
void BM_FindElementIntLastOf1000(benchmark::State& state) {
    CXMLObject parent(Pooled(u"parent"));
    for (int i = 0; i < 1000; ++i) parent.AddTag(Pooled(u"c" + Decimal(i)), Pooled(Decimal(i)));
    const CPPoolString wanted = Pooled(u"c999");
    for (auto _ : state) benchmark::DoNotOptimize(parent.FindElementInt(wanted, -1));
}
BENCHMARK(BM_FindElementIntLastOf1000);

// Five levels, each name after nine siblings.
void BM_FindFirstElementFiveNames(benchmark::State& state) {
    CXMLObject root(Pooled(u"root"));
    CXMLObject* level = &root;
    for (const char16_t* name : {u"a", u"b", u"c", u"d", u"e"}) {
        for (int i = 0; i < 9; ++i) level->AddTag(Pooled(u"sibling"));
        level = level->item(level->AddTag(Pooled(name)));
    }
    const unsigned short* path = W(u"a/b/c/d/e");
    for (auto _ : state) benchmark::DoNotOptimize(root.FindFirstElement(path));
}
BENCHMARK(BM_FindFirstElementFiveNames);

void BM_PrintfTagInt100(benchmark::State& state) {
    const CPPoolString name = Pooled(u"value");
    for (auto _ : state) {
        CXMLObject parent(Pooled(u"parent"));
        for (int i = 0; i < 100; ++i) parent.printfTag(name, W(u"%d"), i);
        benchmark::DoNotOptimize(parent);
    }
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_PrintfTagInt100);

void BM_AddTagPooledString100(benchmark::State& state) {
    const CPPoolString name = Pooled(u"value");
    const CPPoolString text = Pooled(u"42");
    for (auto _ : state) {
        CXMLObject parent(Pooled(u"parent"));
        for (int i = 0; i < 100; ++i) parent.AddTag(name, text);
        benchmark::DoNotOptimize(parent);
    }
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_AddTagPooledString100);

const char16_t kExactDouble[] = u"3ff8000000000000(1.5)";

void BM_GetDataEDouble(benchmark::State& state) {
    CXMLObject node(Pooled(u"n"));
    node.Add(kExactDouble);
    for (auto _ : state) benchmark::DoNotOptimize(node.GetDataEDouble(0.0));
}
BENCHMARK(BM_GetDataEDouble);

// strtod over the same characters (it stops after the leading "3").
void BM_StrtodSameText(benchmark::State& state) {
    const std::string text(std::begin(kExactDouble), std::end(kExactDouble) - 1);
    for (auto _ : state) benchmark::DoNotOptimize(std::strtod(text.c_str(), nullptr));
}
BENCHMARK(BM_StrtodSameText);

}  // namespace
