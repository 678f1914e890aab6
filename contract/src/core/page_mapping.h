#pragma once
// Whole pages for large blocks, committed on first touch, so that room to
// grow costs address space only.
#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#include "tqplatform/memory.h"
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tqcore::detail {

#if defined(_WIN32)
inline std::uint64_t SystemPageSize() {
    return 4096;
}
// Null when the system has no room.
inline void* MapPages(std::size_t bytes) {
    return tqplat::VirtualAlloc(nullptr, bytes, tqplat::MEM_RESERVE | tqplat::MEM_COMMIT,
                                tqplat::PAGE_READWRITE);
}
inline void UnmapPages(void* pages, std::size_t) {
    tqplat::VirtualFree(pages, 0, tqplat::MEM_RELEASE);
}
#else
inline std::uint64_t SystemPageSize() {
    return static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}
inline void* MapPages(std::size_t bytes) {
    void* pages = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return pages == MAP_FAILED ? nullptr : pages;
}
inline void UnmapPages(void* pages, std::size_t bytes) {
    munmap(pages, bytes);
}
#endif

}  // namespace tqcore::detail
