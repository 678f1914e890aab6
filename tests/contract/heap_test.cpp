#include "tqcore/heap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <thread>
#include <vector>

using tqcore::CFHeap;

namespace {

// Allocates `count` blocks, each distinct and 8-byte aligned.
std::vector<void*> allocDistinct(CFHeap& heap, int count) {
    std::set<void*> seen;
    std::vector<void*> blocks;
    for (int i = 0; i < count; ++i) {
        void* b = heap.Alloc();
        EXPECT_NE(b, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % 8, 0u);
        EXPECT_TRUE(seen.insert(b).second) << "a block handed out twice";
        blocks.push_back(b);
    }
    return blocks;
}

TEST(FixedHeap, BlocksAreDistinctAlignedAndCounted) {
    CFHeap heap("test", 20, 16, 1, 0xFFFFFFFF);
    EXPECT_STREQ(heap.GetName(), "test");
    EXPECT_EQ(heap.GetBlockSize(), 24u) << "rounded to keep blocks 8-byte aligned";
    const std::vector<void*> blocks = allocDistinct(heap, 1000);
    for (void* b : blocks) std::memset(b, 0xAB, 20);
    EXPECT_EQ(heap.GetUsedCount(), 1000);
    for (void* b : blocks) heap.Free(b);
    heap.Free(nullptr);
    EXPECT_EQ(heap.GetUsedCount(), 0);
}

TEST(FixedHeap, LimitAndFailureGiveNull) {
    CFHeap limited("limited", 16, 4, 0, 10);
    std::vector<void*> blocks = allocDistinct(limited, 10);
    EXPECT_EQ(limited.Alloc(), nullptr);
    limited.Free(blocks.back());
    EXPECT_EQ(limited.Alloc(), blocks.back()) << "a freed block is handed out again";

    CFHeap heap("faulty", 16, 4, 0, 0);
    tqcore::SetAllocationFailureCountdown(0);
    EXPECT_EQ(heap.Alloc(), nullptr);
    tqcore::SetAllocationFailureCountdown(-1);
    EXPECT_NE(heap.Alloc(), nullptr);
}

TEST(FixedHeap, BlocksFreedOnAnotherThreadAreReused) {
    CFHeap heap("cross", 32, 64, 0, 0);
    std::vector<void*> blocks(5000);
    for (auto& b : blocks) b = heap.Alloc();
    std::thread([&] {
        for (void* b : blocks) heap.Free(b);
    }).join();
    // The freeing thread has ended: its cached blocks went back to the heap.
    EXPECT_EQ(heap.GetUsedCount(), 0);
    const std::set<void*> original(blocks.begin(), blocks.end());
    // This thread may still cache a few never-used blocks of its last batch.
    std::size_t reused = 0;
    for (int i = 0; i < 5000 + 64; ++i) reused += original.count(heap.Alloc());
    EXPECT_EQ(reused, 5000u);
}

TEST(FixedHeap, TwoThreadsAllocateAndFreeAtOnce) {
    CFHeap heap("busy", 48, 256, 0, 0);
    auto work = [&heap](unsigned char tag) {
        std::vector<unsigned char*> mine;
        for (int round = 0; round < 200; ++round) {
            for (int i = 0; i < 300; ++i) {
                auto* b = static_cast<unsigned char*>(heap.Alloc());
                ASSERT_NE(b, nullptr);
                std::memset(b, tag, 48);
                mine.push_back(b);
            }
            for (unsigned char* b : mine) {
                ASSERT_EQ(b[0], tag);
                ASSERT_EQ(b[47], tag);
                heap.Free(b);
            }
            mine.clear();
        }
    };
    std::thread t1(work, 1), t2(work, 2);
    t1.join();
    t2.join();
    EXPECT_EQ(heap.GetUsedCount(), 0);
}

TEST(FixedHeap, HeapsBeyondTheCachedOnesShareOneStack) {
    // More heaps than threads cache magazines for: the later ones work on
    // their shared stack alone.
    std::vector<std::unique_ptr<CFHeap>> heaps;
    for (int i = 0; i < 80; ++i) heaps.push_back(std::make_unique<CFHeap>("many", 32, 8, i % 2, 0));
    for (auto& heap : heaps) {
        const std::vector<void*> blocks = allocDistinct(*heap, 100);
        for (std::size_t i = 0; i < blocks.size(); i += 2) heap->Free(blocks[i]);
        EXPECT_EQ(heap->GetUsedCount(), 50);
        const std::set<void*> seen(blocks.begin(), blocks.end());
        for (int i = 0; i < 50; ++i)
            EXPECT_EQ(seen.count(heap->Alloc()), 1u) << "freed blocks come back first";
    }
}

TEST(GeneralAllocation, FallocFamilyFailsOnCountdown) {
    void* p = tqcore::_frealloc(tqcore::_falloc(0), 100);
    ASSERT_NE(p, nullptr);
    std::memset(p, 1, 100);
    tqcore::SetAllocationFailureCountdown(1);
    void* q = tqcore::_falloc(10);
    EXPECT_NE(q, nullptr);
    EXPECT_EQ(tqcore::_falloc(10), nullptr);
    EXPECT_EQ(tqcore::_frealloc(p, 200), nullptr);
    tqcore::SetAllocationFailureCountdown(-1);
    tqcore::_ffree(q);
    tqcore::_ffree(p);
    tqcore::_ffree(nullptr);
}

}  // namespace
