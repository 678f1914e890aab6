#pragma once
// Freed memory kept by the process, for runs that ask for it with
// TQXML_BENCH_KEEP_MEMORY=1: no trim, no mmap for large blocks, a large top
// pad, so that later iterations reuse pages already faulted in. Memory a
// library maps by itself (our document buffer) is not affected.
#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace {

// Applies the setting when the environment asks for it; true then.
inline bool KeepFreedMemoryIfAsked() {
    const char* keep = std::getenv("TQXML_BENCH_KEEP_MEMORY");
    if (!keep || std::strcmp(keep, "1") != 0) return false;
    constexpr int kHuge = 1 << 30;
    mallopt(M_TRIM_THRESHOLD, kHuge);
    mallopt(M_TOP_PAD, 256 << 20);
    // glibc caps the mmap threshold at 32 MiB on 64-bit; larger values are refused.
    if (!mallopt(M_MMAP_THRESHOLD, kHuge)) mallopt(M_MMAP_THRESHOLD, 32 << 20);
    return true;
}

}  // namespace
