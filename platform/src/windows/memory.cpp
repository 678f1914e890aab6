// Virtual memory and the process heap: the system's own.
#include "tqplatform/memory.h"

#include <windows.h>

namespace tqplat {

void* VirtualAlloc(void* address, std::size_t size, std::uint32_t allocationType,
                   std::uint32_t protect) {
    return ::VirtualAlloc(address, size, allocationType, protect);
}

bool VirtualFree(void* address, std::size_t size, std::uint32_t freeType) {
    return ::VirtualFree(address, size, freeType) != FALSE;
}

void* GetProcessHeap() {
    return ::GetProcessHeap();
}

void* HeapAlloc(void* heap, std::uint32_t flags, std::size_t size) {
    return ::HeapAlloc(heap, flags, size);
}

void* HeapReAlloc(void* heap, std::uint32_t flags, void* block, std::size_t size) {
    return ::HeapReAlloc(heap, flags, block, size);
}

bool HeapFree(void* heap, std::uint32_t flags, void* block) {
    return ::HeapFree(heap, flags, block) != FALSE;
}

std::size_t HeapSize(void* heap, std::uint32_t flags, const void* block) {
    // The system would fault on a null block.
    if (block == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return static_cast<std::size_t>(-1);
    }
    return ::HeapSize(heap, flags, block);
}

}  // namespace tqplat
