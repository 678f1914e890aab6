#pragma once
// Virtual memory and the process heap.
#include <cstddef>
#include <cstdint>

#include "tqplatform/export.h"

namespace tqplat {

constexpr std::uint32_t MEM_COMMIT = 0x1000;
constexpr std::uint32_t MEM_RESERVE = 0x2000;
constexpr std::uint32_t MEM_DECOMMIT = 0x4000;
constexpr std::uint32_t MEM_RELEASE = 0x8000;
constexpr std::uint32_t PAGE_NOACCESS = 0x01;
constexpr std::uint32_t PAGE_READONLY = 0x02;
constexpr std::uint32_t PAGE_READWRITE = 0x04;

// Committed pages are zero-filled. Release takes the base address and size 0.
TQPLATFORM_API void* VirtualAlloc(void* address, std::size_t size, std::uint32_t allocationType,
                                  std::uint32_t protect);
TQPLATFORM_API bool VirtualFree(void* address, std::size_t size, std::uint32_t freeType);

constexpr std::uint32_t HEAP_ZERO_MEMORY = 0x08;

TQPLATFORM_API void* GetProcessHeap();
TQPLATFORM_API void* HeapAlloc(void* heap, std::uint32_t flags, std::size_t size);
TQPLATFORM_API void* HeapReAlloc(void* heap, std::uint32_t flags, void* block, std::size_t size);
TQPLATFORM_API bool HeapFree(void* heap, std::uint32_t flags, void* block);
// Size of a block from HeapAlloc; (size_t)-1 for a null or foreign pointer.
TQPLATFORM_API std::size_t HeapSize(void* heap, std::uint32_t flags, const void* block);

}  // namespace tqplat
