// Virtual memory: page-aligned anonymous mappings. The size of every
// reservation is kept so that a release by base address alone can unmap it.
#include "tqplatform/memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>

#include "tqplatform/files.h"

namespace tqplat {

namespace {

struct Reservations {
    std::mutex lock;
    std::map<std::uintptr_t, std::size_t> sizes;  // base -> length in bytes
};

// Never destroyed: buffers may be released by static destructors of any module.
Reservations& AllReservations() {
    static Reservations* const all = new Reservations;
    return *all;
}

std::uintptr_t PageSize() {
    static const std::uintptr_t size = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    return size;
}

std::uintptr_t PageDown(std::uintptr_t value) {
    return value & ~(PageSize() - 1);
}

// False when rounding up would overflow.
bool PageUp(std::uintptr_t value, std::uintptr_t& rounded) {
    if (value > UINTPTR_MAX - (PageSize() - 1)) return false;
    rounded = PageDown(value + PageSize() - 1);
    return true;
}

bool ProtectionOf(std::uint32_t protect, int& prot) {
    switch (protect) {
        case PAGE_NOACCESS:
            prot = PROT_NONE;
            return true;
        case PAGE_READONLY:
            prot = PROT_READ;
            return true;
        case PAGE_READWRITE:
            prot = PROT_READ | PROT_WRITE;
            return true;
        default:
            return false;
    }
}

// The reservation holding [begin, end), as an iterator, or sizes.end(). Caller holds the lock.
std::map<std::uintptr_t, std::size_t>::iterator Holding(Reservations& all, std::uintptr_t begin,
                                                        std::uintptr_t end) {
    auto it = all.sizes.upper_bound(begin);
    if (it == all.sizes.begin()) return all.sizes.end();
    --it;
    return end <= it->first + it->second ? it : all.sizes.end();
}

void* FailAlloc(std::uint32_t error) {
    SetLastError(error);
    return nullptr;
}

bool FailFree(std::uint32_t error) {
    SetLastError(error);
    return false;
}

// Commits pages inside an earlier reservation; their contents stay.
void* Commit(std::uintptr_t begin, std::uintptr_t end, int prot) {
    Reservations& all = AllReservations();
    std::lock_guard<std::mutex> guard(all.lock);
    if (Holding(all, begin, end) == all.sizes.end()) return FailAlloc(ERROR_INVALID_PARAMETER);
    if (mprotect(reinterpret_cast<void*>(begin), end - begin, prot) != 0)
        return FailAlloc(ErrorFromErrno(errno));
    return reinterpret_cast<void*>(begin);
}

}  // namespace

void* VirtualAlloc(void* address, std::size_t size, std::uint32_t allocationType,
                   std::uint32_t protect) {
    int prot = PROT_NONE;
    if (size == 0 || (allocationType & (MEM_COMMIT | MEM_RESERVE)) == 0 ||
        (allocationType & ~(MEM_COMMIT | MEM_RESERVE)) != 0 || !ProtectionOf(protect, prot))
        return FailAlloc(ERROR_INVALID_PARAMETER);
    const std::uintptr_t begin = PageDown(reinterpret_cast<std::uintptr_t>(address));
    std::uintptr_t end = 0;
    if (reinterpret_cast<std::uintptr_t>(address) > UINTPTR_MAX - size ||
        !PageUp(reinterpret_cast<std::uintptr_t>(address) + size, end))
        return FailAlloc(ERROR_NOT_ENOUGH_MEMORY);
    if (address != nullptr && (allocationType & MEM_RESERVE) == 0) return Commit(begin, end, prot);

    // Reserved but uncommitted pages are inaccessible and cost no swap.
    const bool committed = (allocationType & MEM_COMMIT) != 0;
    const int flags = MAP_PRIVATE | MAP_ANONYMOUS | (committed ? 0 : MAP_NORESERVE) |
                      (address != nullptr ? MAP_FIXED_NOREPLACE : 0);
    void* mapped = mmap(reinterpret_cast<void*>(begin), end - begin, committed ? prot : PROT_NONE,
                        flags, -1, 0);
    if (mapped == MAP_FAILED)
        return FailAlloc(errno == EEXIST ? ERROR_INVALID_PARAMETER : ERROR_NOT_ENOUGH_MEMORY);

    Reservations& all = AllReservations();
    std::lock_guard<std::mutex> guard(all.lock);
    all.sizes[reinterpret_cast<std::uintptr_t>(mapped)] = end - begin;
    return mapped;
}

bool VirtualFree(void* address, std::size_t size, std::uint32_t freeType) {
    if (address == nullptr || (freeType != MEM_RELEASE && freeType != MEM_DECOMMIT))
        return FailFree(ERROR_INVALID_PARAMETER);
    const auto begin = reinterpret_cast<std::uintptr_t>(address);
    Reservations& all = AllReservations();
    std::lock_guard<std::mutex> guard(all.lock);

    if (freeType == MEM_RELEASE) {
        // Only a whole reservation, named by its base, goes back.
        const auto it = all.sizes.find(begin);
        if (size != 0 || it == all.sizes.end()) return FailFree(ERROR_INVALID_PARAMETER);
        munmap(address, it->second);
        all.sizes.erase(it);
        return true;
    }

    const auto holder = Holding(all, PageDown(begin), PageDown(begin) + 1);
    if (holder == all.sizes.end()) return FailFree(ERROR_INVALID_PARAMETER);
    const std::uintptr_t holderEnd = holder->first + holder->second;
    std::uintptr_t end = holderEnd;
    if (size != 0 && (begin > UINTPTR_MAX - size || !PageUp(begin + size, end) || end > holderEnd))
        return FailFree(ERROR_INVALID_PARAMETER);
    // Fresh inaccessible pages replace the old ones, dropping their contents.
    const std::uintptr_t first = PageDown(begin);
    if (mmap(reinterpret_cast<void*>(first), end - first, PROT_NONE,
             MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1, 0) == MAP_FAILED)
        return FailFree(ErrorFromErrno(errno));
    return true;
}

}  // namespace tqplat
