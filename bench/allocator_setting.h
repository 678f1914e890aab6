#pragma once
// The allocator setting of a benchmark run, chosen by the environment before
// any benchmark runs:
//   TQXML_BENCH_KEEP_MEMORY unset or not "1" - glibc malloc defaults: large
//     blocks are mmap'ed and freed memory is trimmed back to the system, so
//     every iteration pays fresh page faults (about 13 us per page here).
//   TQXML_BENCH_KEEP_MEMORY=1 - freed memory is kept (keep_memory.h).
#include <benchmark/benchmark.h>

#include "keep_memory.h"

namespace {

// Applies the setting the environment asks for and names it in the report's
// context; true when freed memory is kept.
inline bool ApplyAllocatorSetting() {
    const bool keepMemory = KeepFreedMemoryIfAsked();
    benchmark::AddCustomContext("allocator", keepMemory ? "keep freed memory" : "glibc defaults");
    return keepMemory;
}

}  // namespace
