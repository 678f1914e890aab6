// Virtual memory and the process heap.
#include "tqplatform/memory.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <tuple>

#include "platform_test_support.h"

namespace tqplat {
namespace {

const std::size_t kPage = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));

bool Mapped(const void* page) {
    return msync(const_cast<void*>(page), 1, MS_ASYNC) == 0 || errno != ENOMEM;
}

bool AllZero(const unsigned char* p, std::size_t n) {
    return std::all_of(p, p + n, [](unsigned char c) { return c == 0; });
}

TEST(VirtualMemory, CommittedPagesAreZeroAlignedAndReleasedWhole) {
    const std::size_t size = 3 * kPage + 1;
    auto* p = static_cast<unsigned char*>(VirtualAlloc(nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % kPage, 0u);
    EXPECT_TRUE(AllZero(p, 4 * kPage)) << "the rounded-up last page is usable and zero too";
    p[4 * kPage - 1] = 1;
    EXPECT_EQ(TakeError(!VirtualFree(p, size, MEM_RELEASE)), ERROR_INVALID_PARAMETER)
        << "release takes size 0";
    EXPECT_FALSE(VirtualFree(p + kPage, 0, MEM_RELEASE)) << "only the base releases";
    EXPECT_TRUE(Mapped(p + 3 * kPage));
    ASSERT_TRUE(VirtualFree(p, 0, MEM_RELEASE));
    EXPECT_FALSE(Mapped(p));
    EXPECT_FALSE(Mapped(p + 3 * kPage));
    EXPECT_EQ(TakeError(!VirtualFree(p, 0, MEM_RELEASE)), ERROR_INVALID_PARAMETER) << "again";
}

TEST(VirtualMemory, BadArgumentsFail) {
    int onStack = 0;
    // Address, size, allocation type, protection, error.
    const std::tuple<void*, std::size_t, std::uint32_t, std::uint32_t, std::uint32_t> cases[] = {
        {nullptr, 0, MEM_COMMIT, PAGE_READWRITE, ERROR_INVALID_PARAMETER},
        {nullptr, 16, 0, PAGE_READWRITE, ERROR_INVALID_PARAMETER},            // no type
        {nullptr, 16, MEM_COMMIT, 0x40, ERROR_INVALID_PARAMETER},             // unknown protection
        {&onStack, 16, MEM_COMMIT, PAGE_READWRITE, ERROR_INVALID_PARAMETER},  // not reserved
        {nullptr, SIZE_MAX, MEM_COMMIT, PAGE_READWRITE, ERROR_NOT_ENOUGH_MEMORY},
    };
    for (const auto& [address, size, type, protect, error] : cases)
        EXPECT_EQ(TakeError(!VirtualAlloc(address, size, type, protect)), error)
            << size << '/' << type << '/' << protect;
    EXPECT_FALSE(VirtualFree(nullptr, 0, MEM_RELEASE));
    EXPECT_FALSE(VirtualFree(&onStack, 0, MEM_RELEASE));
}

TEST(ProcessHeap, ZeroingReallocationAndForeignPointers) {
    void* heap = GetProcessHeap();
    auto* block = static_cast<unsigned char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 5000));
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(AllZero(block, 5000));
    std::fill(block, block + 5000, 7);
    // Shrunk, then grown again over memory that is likely still dirty.
    ASSERT_NE(block = static_cast<unsigned char*>(HeapReAlloc(heap, 0, block, 100)), nullptr);
    auto* grown = static_cast<unsigned char*>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, block, 5000));
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(HeapSize(heap, 0, grown), 5000u);
    EXPECT_EQ(grown[99], 7);
    EXPECT_TRUE(AllZero(grown + 100, 4900)) << "the grown tail is zeroed on request";
    EXPECT_EQ(HeapReAlloc(heap, 0, grown, SIZE_MAX), nullptr);
    EXPECT_EQ(HeapSize(heap, 0, grown), 5000u) << "a failed reallocation keeps the block";
    ASSERT_TRUE(HeapFree(heap, 0, grown));
    int onStack = 0;
    for (void* p : {static_cast<void*>(&onStack), static_cast<void*>(grown)}) {
        EXPECT_EQ(TakeError(!HeapFree(heap, 0, p)), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(HeapSize(heap, 0, p), static_cast<std::size_t>(-1));
    }
    EXPECT_EQ(TakeError(!HeapAlloc(&onStack, 0, 8)), ERROR_INVALID_HANDLE) << "not a heap";
    EXPECT_EQ(TakeError(!HeapAlloc(heap, 0, SIZE_MAX)), ERROR_NOT_ENOUGH_MEMORY);
}

}  // namespace
}  // namespace tqplat
