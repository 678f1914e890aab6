#pragma once
// The allocator setting of a benchmark run, chosen by the environment before
// any benchmark runs:
//   TQXML_BENCH_KEEP_MEMORY unset or not "1" - glibc malloc defaults: large
//     blocks are mmap'ed and freed memory is trimmed back to the system, so
//     every iteration pays fresh page faults (about 13 us per page here).
//   TQXML_BENCH_KEEP_MEMORY=1 - freed memory is kept by the process (no trim,
//     no mmap for large blocks, a large top pad), so later iterations reuse
//     pages already faulted in. Memory a library maps by itself (our document
//     buffer) is not affected.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace {

// Applies the setting the environment asks for and names it in the report's
// context; true when freed memory is kept.
inline bool ApplyAllocatorSetting() {
    const char* keep = std::getenv("TQXML_BENCH_KEEP_MEMORY");
    const bool keepMemory = keep && std::strcmp(keep, "1") == 0;
    if (keepMemory) {
        constexpr int kHuge = 1 << 30;
        mallopt(M_TRIM_THRESHOLD, kHuge);
        mallopt(M_TOP_PAD, 256 << 20);
        // glibc caps the mmap threshold at 32 MiB on 64-bit; larger values are refused.
        if (!mallopt(M_MMAP_THRESHOLD, kHuge)) mallopt(M_MMAP_THRESHOLD, 32 << 20);
    }
    benchmark::AddCustomContext("allocator", keepMemory ? "keep freed memory" : "glibc defaults");
    return keepMemory;
}

}  // namespace
