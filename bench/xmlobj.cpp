// Node model hot paths beside plain C++ baselines of the same shape.
#include "tqxml/xmlobj.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

using namespace tqcore;

namespace {

// A struct the size of one node body, for the new/delete baseline.
struct BodySized {
    char bytes[sizeof(CXMLObjectBody)];
};

const CPPoolString& Name() {
    static const CPPoolString name = CStringPool::GetStringRef(u"element");
    return name;
}

void BM_CreateNamedNode(benchmark::State& state) {
    for (auto _ : state) {
        CXMLObject node(Name());
        benchmark::DoNotOptimize(node);
    }
}
BENCHMARK(BM_CreateNamedNode);

void BM_NewDeleteBodySizedStruct(benchmark::State& state) {
    for (auto _ : state) {
        auto* p = new BodySized;
        benchmark::DoNotOptimize(p);
        delete p;
    }
}
BENCHMARK(BM_NewDeleteBodySizedStruct);

void BM_Add1000Children(benchmark::State& state) {
    const CXMLObject child(Name());
    for (auto _ : state) {
        CXMLObject parent(Name());
        for (int i = 0; i < 1000; ++i) parent.Add(child);
        benchmark::DoNotOptimize(parent);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_Add1000Children);

void BM_VectorPushBack1000Pointers(benchmark::State& state) {
    BodySized child{};
    for (auto _ : state) {
        std::vector<BodySized*> children;
        for (int i = 0; i < 1000; ++i) children.push_back(&child);
        benchmark::DoNotOptimize(children.data());
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_VectorPushBack1000Pointers);

void BM_Add10Attributes(benchmark::State& state) {
    std::vector<CPPoolString> names;
    for (int i = 0; i < 10; ++i) {
        const char16_t name[] = {u'a', char16_t(u'0' + i), 0};
        names.push_back(CStringPool::GetStringRef(name));
    }
    const CPPoolString value = CStringPool::GetStringRef(u"value");
    for (auto _ : state) {
        CXMLObject node(Name());
        for (const CPPoolString& n : names) node.AddAttribute(n, value);
        benchmark::DoNotOptimize(node);
    }
    state.SetItemsProcessed(state.iterations() * 10);
}
BENCHMARK(BM_Add10Attributes);

void BM_VectorPushBack10Pairs(benchmark::State& state) {
    const CPPoolString name = CStringPool::GetStringRef(u"a0");
    const CPPoolString value = CStringPool::GetStringRef(u"value");
    for (auto _ : state) {
        std::vector<std::pair<CPPoolString, CPPoolString>> attributes;
        for (int i = 0; i < 10; ++i) attributes.emplace_back(name, value);
        benchmark::DoNotOptimize(attributes.data());
    }
    state.SetItemsProcessed(state.iterations() * 10);
}
BENCHMARK(BM_VectorPushBack10Pairs);

void BM_CopyHandle(benchmark::State& state) {
    const CXMLObject node(Name());
    for (auto _ : state) {
        CXMLObject copy(node);
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_CopyHandle);

void BM_CopySharedPtrBaseline(benchmark::State& state) {
    const auto node = std::make_shared<BodySized>();
    for (auto _ : state) {
        auto copy = node;
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_CopySharedPtrBaseline);

// Bytes per node of a tree of small elements, as a counter.
void BM_MemoryPer100kSmallElements(benchmark::State& state) {
    const CPPoolString id = CStringPool::GetStringRef(u"id");
    const CPPoolString text = CStringPool::GetStringRef(u"text");
    std::uint64_t used = 0, spare = 0;
    for (auto _ : state) {
        CXMLObject root(Name());
        for (int i = 0; i < 100000; ++i) {
            CXMLObject item(Name());
            item.AddAttribute(id, text);
            item.Add(text);
            root.Add(item);
        }
        used = spare = 0;
        root.GetMemUsage(used, spare);
    }
    state.counters["used_bytes_per_node"] = double(used) / 100001;
    state.counters["spare_bytes_per_node"] = double(spare) / 100001;
}
BENCHMARK(BM_MemoryPer100kSmallElements)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
