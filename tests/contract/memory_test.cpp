// Fixed-size heaps, the general allocation family, and the shared blocks built
// on them: plain memory, object memory with its hooks, and properties.
#include "tqcore/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "contract_test_support.h"
#include "tqcore/objmem.h"
#include "tqcore/property.h"

namespace {

using tqcore::CFHeap;
using tqcore::CPMemory;
using tqcore::CPObjectMemory;
using tqcore::CPProperty;
using tqcore::GUID;
using tqtest::WithoutMemory;

template <class Block>
void* addressOf(const Block& m) {
    return static_cast<void*>(m);
}
char* bytes(const CPMemory& m) {
    return static_cast<char*>(addressOf(m));
}

// Allocates `count` blocks, each distinct and 8-byte aligned.
std::vector<void*> allocDistinct(CFHeap& heap, int count) {
    std::set<void*> seen;
    std::vector<void*> blocks;
    for (int i = 0; i < count; ++i) {
        void* b = heap.Alloc();
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % 8, 0u);
        EXPECT_TRUE(b && seen.insert(b).second) << "a null block, or one handed out twice";
        blocks.push_back(b);
    }
    return blocks;
}

TEST(FixedHeap, BlocksAreDistinctAlignedCountedAndLimited) {
    CFHeap heap("test", 20, 16, 1, 0xFFFFFFFF);
    EXPECT_EQ(heap.GetBlockSize(), 24u) << "rounded to keep blocks 8-byte aligned";
    const std::vector<void*> blocks = allocDistinct(heap, 1000);
    for (void* b : blocks) std::memset(b, 0xAB, 20);
    EXPECT_EQ(heap.GetUsedCount(), 1000);
    for (void* b : blocks) heap.Free(b);
    heap.Free(nullptr);
    EXPECT_EQ(heap.GetUsedCount(), 0);

    CFHeap limited("limited", 16, 4, 0, 10);
    std::vector<void*> ten = allocDistinct(limited, 10);
    EXPECT_EQ(limited.Alloc(), nullptr);
    limited.Free(ten.back());
    EXPECT_EQ(limited.Alloc(), ten.back()) << "a freed block is handed out again";
    CFHeap faulty("faulty", 16, 4, 0, 0);
    EXPECT_EQ(WithoutMemory([&] { return faulty.Alloc(); }), nullptr);
    EXPECT_NE(faulty.Alloc(), nullptr);
}

TEST(FixedHeap, BlocksFreedOnAnotherThreadAreReusedLowestAddressFirst) {
    // Exactly as many blocks as the heap may hold, so the blocks handed out
    // again can only be the freed ones.
    CFHeap heap("cross", 32, 64, 0, 5000);
    std::vector<void*> blocks(5000);
    for (auto& b : blocks) b = heap.Alloc();
    // Every 5th block stays in use, so the free ones lie in short runs.
    std::vector<void*> freed;
    std::thread([&] {
        // Every 7th block, round and round: an order far from the addresses'.
        for (std::size_t start = 0; start < 7; ++start)
            for (std::size_t i = start; i < blocks.size(); i += 7)
                if (i % 5 != 0) {
                    heap.Free(blocks[i]);
                    freed.push_back(blocks[i]);
                }
    }).join();
    // The freeing thread has ended: its cached blocks went back to the heap.
    EXPECT_EQ(heap.GetUsedCount(), 1000);
    std::vector<void*> again(freed.size());
    // A fresh thread caches nothing yet, so every block comes from the heap.
    std::thread([&] {
        for (auto& b : again) b = heap.Alloc();
    }).join();
    EXPECT_TRUE(std::is_sorted(again.begin(), again.end(), std::less<void*>()))
        << "the lowest free address is handed out first";
    EXPECT_EQ(std::set<void*>(again.begin(), again.end()),
              std::set<void*>(freed.begin(), freed.end()));
    for (void* b : again) heap.Free(b);
    for (std::size_t i = 0; i < blocks.size(); i += 5) heap.Free(blocks[i]);
}

TEST(FixedHeap, HeapsBeyondTheCachedOnesWorkWithoutMagazines) {
    // More heaps than threads cache magazines for: the later ones work on
    // their shared bitmaps alone. Each holds exactly 100 blocks, so the
    // blocks handed out after the frees can only be the freed ones.
    std::vector<std::unique_ptr<CFHeap>> heaps;
    for (int i = 0; i < 80; ++i)
        heaps.push_back(std::make_unique<CFHeap>("many", 32, 8, i % 2, 100));
    for (auto& heap : heaps) {
        const std::vector<void*> blocks = allocDistinct(*heap, 100);
        for (std::size_t i = 0; i < blocks.size(); i += 2) heap->Free(blocks[i]);
        EXPECT_EQ(heap->GetUsedCount(), 50);
        const std::set<void*> seen(blocks.begin(), blocks.end());
        for (int i = 0; i < 50; ++i)
            EXPECT_EQ(seen.count(heap->Alloc()), 1u) << "freed blocks come back";
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

TEST(Memory, CopiesShareOneBlockUntilAnAllocOrReallocUnsharesIt) {
    CPMemory a;
    ASSERT_TRUE(a.Alloc(10));
    std::memcpy(bytes(a), "shared!!!", 10);
    CPMemory b(a), c;
    c = b;
    EXPECT_EQ(bytes(b), bytes(a));
    EXPECT_EQ(a.GetHolders(), 3);
    ASSERT_TRUE(a.Alloc(4));  // a new private block; the others keep the old
    EXPECT_NE(bytes(a), bytes(b));
    ASSERT_TRUE(b.Realloc(100000));  // a private copy, content kept
    EXPECT_NE(bytes(b), bytes(c));
    ASSERT_TRUE(b.Realloc(200000));  // now private: grown with the content kept
    EXPECT_STREQ(bytes(b), "shared!!!");
    EXPECT_EQ(c.GetHolders(), 1);
    EXPECT_EQ(c.GetSize(), 10u);
    EXPECT_STREQ(bytes(c), "shared!!!");
}

TEST(Memory, BadSizesAndFailedAllocationsAreRefusedCleanly) {
    CPMemory m;
    EXPECT_FALSE(m.Alloc(0) || m.Alloc(UINT64_MAX) || m);
    ASSERT_TRUE(m.Alloc(16));
    char* before = bytes(m);
    EXPECT_FALSE(m.Realloc(0) || m.Realloc(UINT64_MAX));
    EXPECT_EQ(bytes(m), before);
    EXPECT_EQ(m.GetSize(), 16u);
    CPMemory shared(m);
    EXPECT_FALSE(WithoutMemory([&] { return shared.Realloc(32); })) << "the copy cannot be made";
    EXPECT_EQ(bytes(shared), before);
    EXPECT_FALSE(WithoutMemory([&] { return m.Alloc(8); }));
    EXPECT_FALSE(m);
}

TEST(Memory, AlignOffsetRoundsTheAddressNotJustTheOffset) {
    CPMemory m;
    ASSERT_TRUE(m.Alloc(256));
    const auto base = reinterpret_cast<std::uintptr_t>(bytes(m));
    for (std::size_t alignment : {1u, 64u, 128u}) {
        for (std::size_t offset : {0u, 1u, 33u}) {
            const std::size_t aligned = m.AlignOffset(offset, alignment);
            EXPECT_LT(aligned - offset, alignment);  // unsigned: also catches aligned < offset
            EXPECT_EQ((base + aligned) % alignment, 0u) << offset << " to " << alignment;
        }
    }
    EXPECT_EQ(m.AlignOffset(5, 12), 5u);  // not a power of two
    EXPECT_EQ(CPMemory().AlignOffset(5, 8), 8u);
}

// Counts constructions and destructions of 4-byte items.
int g_live = 0, g_clones = 0;
void Create(void* p, std::uint64_t bytes) {
    std::memset(p, 0x11, bytes);
    g_live += static_cast<int>(bytes / 4);
}
void Clone(void* t, const void* s, std::uint64_t bytes) {
    std::memcpy(t, s, bytes);
    g_live += static_cast<int>(bytes / 4);
    ++g_clones;
}
void Finalize(void*, std::uint64_t bytes) {
    g_live -= static_cast<int>(bytes / 4);
}
const tqcore::tagCPOVTABL kTable = {&Create, &Clone, &Finalize};
const tqcore::tagCPOVTABL kOtherTable = {&Create, &Clone, &Finalize};

class ObjectMemory : public ::testing::Test {
  protected:
    void SetUp() override { g_live = g_clones = 0; }
    void TearDown() override {
        EXPECT_EQ(g_live, 0);
        EXPECT_EQ(CPObjectMemory::GetBlockCount(), m_blocks);
    }
    // Marks `size` bytes used, as a holder that constructed them does.
    static void use(CPObjectMemory& m, std::uint64_t size) {
        ASSERT_TRUE(m.SetSize(size));
        g_live += static_cast<int>(size / 4);
    }
    std::int64_t m_blocks = CPObjectMemory::GetBlockCount();
};

TEST_F(ObjectMemory, PreallocThenIncallocGrowsInPlaceOrRefusesUnchanged) {
    CPObjectMemory m;
    EXPECT_FALSE(m.Incalloc(8)) << "no block";
    ASSERT_TRUE(m.Prealloc(8, &kTable));
    EXPECT_EQ(CPObjectMemory::GetBlockCount(), m_blocks + 1);
    EXPECT_EQ(m.GetSize(), 0u);
    EXPECT_EQ(g_live, 0) << "nothing is constructed";
    void* where = m;
    // Small blocks lie in 16-byte classes: 8 more bytes fit where the block lies.
    ASSERT_TRUE(m.Incalloc(8));
    // Growing far beyond the class is refused and leaves the block as it was.
    EXPECT_FALSE(m.Incalloc(1 << 20));
    EXPECT_EQ(m.GetAllocSize(), 16u);
    EXPECT_EQ(addressOf(m), where);
    EXPECT_FALSE(m.SetSize(20));
    use(m, 8);
}

TEST_F(ObjectMemory, CloneMakesASharedBlockPrivate) {
    CPObjectMemory a;
    ASSERT_TRUE(a.Prealloc(32, &kTable));
    use(a, 12);
    std::memset(addressOf(a), 0x5A, 12);
    EXPECT_TRUE(a.clone()) << "a private block stays as it is";
    EXPECT_EQ(g_clones, 0);

    CPObjectMemory b = a;
    ASSERT_TRUE(b.clone());
    EXPECT_EQ(g_clones, 1);
    EXPECT_NE(addressOf(a), addressOf(b));
    EXPECT_EQ(a.GetHolders(), 1);
    EXPECT_EQ(b.GetSize(), 12u);
    EXPECT_EQ(b.GetAllocSize(), 32u);
    EXPECT_EQ(std::memcmp(addressOf(a), addressOf(b), 12), 0);

    CPObjectMemory c = a;
    EXPECT_FALSE(WithoutMemory([&] { return c.clone(); }));
    EXPECT_EQ(addressOf(c), addressOf(a)) << "failure leaves the share";
}

TEST_F(ObjectMemory, AssignabilityAndAllocationFailure) {
    CPObjectMemory m;
    EXPECT_TRUE(m.IsAssignable(8, &kTable)) << "an empty memory can be taken by anyone";
    ASSERT_TRUE(m.Alloc(8, &kTable));
    EXPECT_TRUE(m.IsAssignable(8, &kTable));
    EXPECT_FALSE(m.IsAssignable(4, &kTable) || m.IsAssignable(8, &kOtherTable));
    EXPECT_FALSE(WithoutMemory([&] { return m.Alloc(8, &kTable) || m.Prealloc(8, &kTable); }));
    EXPECT_FALSE(static_cast<bool>(m));
    EXPECT_EQ(m.GetSize(), 0u);
}

const GUID kTypeA = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
const GUID kTypeB = {0xAAAAAAAA, 0xBBBB, 0xCCCC, {8, 7, 6, 5, 4, 3, 2, 1}};

// Counts the hooks a subclass receives.
class CountingProperty : public CPProperty {
  public:
    explicit CountingProperty(int& clears) : m_clears(&clears) {}
    ~CountingProperty() override { Free(); }
    void RelocateMemory(const void* oldPayload, void* newPayload) noexcept override {
        relocations += oldPayload != newPayload;
    }
    void ClearForRelease() noexcept override { ++*m_clears; }
    int relocations = 0;

  private:
    int* m_clears;
};

TEST(Property, CopiesShareThePayloadButNotTheTags) {
    CPProperty a;
    a.SetPropertyID(7, kTypeA);
    ASSERT_TRUE(a.Alloc(4));  // allocating leaves the tags alone
    CPProperty b(a), c;
    EXPECT_EQ(addressOf(b), addressOf(a));
    EXPECT_TRUE(b.IsPropertyID(7, kTypeA));
    b.SetPropertyID(9, kTypeB);
    GUID type{};
    EXPECT_EQ(a.GetPropertyType(type), 7u);
    EXPECT_EQ(type, kTypeA);
    EXPECT_FALSE(a.IsPropertyID(kTypeB));
    c = b;
    EXPECT_EQ(c.GetHolders(), 3);
    EXPECT_EQ(c.GetPropertyType(), 9u);
    c = std::move(b);  // the same payload: only b's hold goes
    EXPECT_EQ(c.GetHolders(), 2);
    a.Free();  // Free keeps the tags, Reset clears them
    EXPECT_FALSE(a);
    EXPECT_TRUE(a.IsPropertyID(7, kTypeA));
    c.Reset();
    EXPECT_FALSE(c);
    EXPECT_TRUE(c.IsPropertyID(0, tqcore::GUID_NULL));
}

TEST(Property, OnlyTheLastHolderClearsThePayloadAndReallocReportsAMove) {
    int clears = 0;
    {
        CountingProperty a(clears), b(clears);
        ASSERT_TRUE(a.Alloc(12));
        b = a;
        a.Free();
        b.Reset();
        EXPECT_EQ(clears, 1);
        ASSERT_TRUE(a.Alloc(5));
        ASSERT_TRUE(a.Alloc(6));  // a new payload releases the old one
        EXPECT_EQ(clears, 2);
        std::memcpy(a, "xyz", 4);
        CPProperty other(a);  // shared, so the resize must copy
        ASSERT_TRUE(a.Realloc(64));
        EXPECT_EQ(a.relocations, 1);
        EXPECT_STREQ(bytes(a), "xyz");
        EXPECT_EQ(clears, 2);  // the old payload lives on in `other`
        EXPECT_FALSE(a.Realloc(0));
        EXPECT_FALSE(WithoutMemory([&] { return a.Alloc(16); }));
        EXPECT_FALSE(a);
        EXPECT_EQ(clears, 3);  // the failed Alloc released the payload first
    }
    EXPECT_EQ(clears, 3);
}

}  // namespace
