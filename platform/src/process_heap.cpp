// The process heap over malloc. Live blocks are registered with their sizes
// so that HeapSize is exact and foreign or freed pointers are refused
// instead of corrupting the allocator.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "tqplatform/files.h"
#include "tqplatform/memory.h"

namespace tqplat {

namespace {

struct Blocks {
    std::mutex lock;
    std::unordered_map<const void*, std::size_t> sizes;
};

// Never destroyed: blocks may be freed by static destructors of any module.
Blocks& LiveBlocks() {
    static Blocks* const blocks = new Blocks;
    return *blocks;
}

char g_processHeap;

constexpr std::size_t kMaxBlock = PTRDIFF_MAX;

bool IsProcessHeap(const void* heap) {
    if (heap == &g_processHeap) return true;
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

}  // namespace

void* GetProcessHeap() {
    return &g_processHeap;
}

void* HeapAlloc(void* heap, std::uint32_t flags, std::size_t size) {
    if (!IsProcessHeap(heap)) return nullptr;
    if (size > kMaxBlock) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // Zero bytes still give a distinct block, as on Windows.
    const std::size_t bytes = size == 0 ? 1 : size;
    void* block = (flags & HEAP_ZERO_MEMORY) != 0 ? std::calloc(1, bytes) : std::malloc(bytes);
    if (block == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    Blocks& blocks = LiveBlocks();
    std::lock_guard<std::mutex> guard(blocks.lock);
    blocks.sizes[block] = size;
    return block;
}

void* HeapReAlloc(void* heap, std::uint32_t flags, void* block, std::size_t size) {
    if (!IsProcessHeap(heap)) return nullptr;
    Blocks& blocks = LiveBlocks();
    std::lock_guard<std::mutex> guard(blocks.lock);
    const auto it = blocks.sizes.find(block);
    if (it == blocks.sizes.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::size_t oldSize = it->second;
    void* grown = size > kMaxBlock ? nullptr : std::realloc(block, size == 0 ? 1 : size);
    if (grown == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;  // the old block stays valid
    }
    if ((flags & HEAP_ZERO_MEMORY) != 0 && size > oldSize)
        std::memset(static_cast<unsigned char*>(grown) + oldSize, 0, size - oldSize);
    blocks.sizes.erase(it);
    blocks.sizes[grown] = size;
    return grown;
}

bool HeapFree(void* heap, std::uint32_t /*flags*/, void* block) {
    if (!IsProcessHeap(heap)) return false;
    if (block == nullptr) return true;
    Blocks& blocks = LiveBlocks();
    std::lock_guard<std::mutex> guard(blocks.lock);
    if (blocks.sizes.erase(block) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::free(block);
    return true;
}

std::size_t HeapSize(void* heap, std::uint32_t /*flags*/, const void* block) {
    if (!IsProcessHeap(heap)) return static_cast<std::size_t>(-1);
    Blocks& blocks = LiveBlocks();
    std::lock_guard<std::mutex> guard(blocks.lock);
    const auto it = blocks.sizes.find(block);
    if (it == blocks.sizes.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return static_cast<std::size_t>(-1);
    }
    return it->second;
}

}  // namespace tqplat
