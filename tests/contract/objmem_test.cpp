#include "tqcore/objmem.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tqcore/heap.h"

using tqcore::CPObjectMemory;
using tqcore::tagCPOVTABL;

namespace {

// Counts constructions and destructions of 4-byte items.
int g_live = 0;
int g_clones = 0;
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
const tagCPOVTABL kTable = {&Create, &Clone, &Finalize};
const tagCPOVTABL kOtherTable = {&Create, &Clone, &Finalize};

class ObjectMemory : public ::testing::Test {
  protected:
    void SetUp() override {
        g_live = g_clones = 0;
        m_blocks = CPObjectMemory::GetBlockCount();
    }
    void TearDown() override {
        EXPECT_EQ(g_live, 0);
        EXPECT_EQ(CPObjectMemory::GetBlockCount(), m_blocks);
    }
    std::int64_t m_blocks = 0;
};

TEST_F(ObjectMemory, HoldersShareAndTheLastFinalizes) {
    CPObjectMemory a;
    EXPECT_EQ(a.GetHolders(), 0);
    ASSERT_TRUE(a.Alloc(16, &kTable));
    EXPECT_EQ(g_live, 4);
    {
        CPObjectMemory b(a), c;
        c = b;
        EXPECT_EQ(a.GetHolders(), 3);
        EXPECT_EQ(static_cast<void*>(c), static_cast<void*>(a));
        c = c;
        EXPECT_EQ(a.GetHolders(), 3);
    }
    EXPECT_EQ(a.GetHolders(), 1);
    EXPECT_EQ(g_live, 4);
    a.free();
    EXPECT_EQ(g_live, 0);
}

TEST_F(ObjectMemory, PreallocThenIncallocGrowsInPlaceOrRefusesUnchanged) {
    CPObjectMemory m;
    EXPECT_FALSE(m.Incalloc(8)) << "no block";
    ASSERT_TRUE(m.Prealloc(8, &kTable));
    EXPECT_EQ(m.GetSize(), 0u);
    EXPECT_EQ(g_live, 0) << "nothing is constructed";
    void* where = m;
    // Small blocks lie in 16-byte classes: 8 more bytes fit where the block lies.
    ASSERT_TRUE(m.Incalloc(8));
    EXPECT_EQ(m.GetAllocSize(), 16u);
    EXPECT_EQ(static_cast<void*>(m), where);
    // Growing far beyond the class is refused and leaves the block as it was.
    EXPECT_FALSE(m.Incalloc(1 << 20));
    EXPECT_EQ(m.GetAllocSize(), 16u);
    EXPECT_EQ(static_cast<void*>(m), where);
    EXPECT_FALSE(m.SetSize(20));
    EXPECT_TRUE(m.SetSize(8));
    g_live += 2;  // the holder constructs what it marks used
}

TEST_F(ObjectMemory, LargeBlocksGrowInPlaceFarBeyondTheirSize) {
    CPObjectMemory m;
    ASSERT_TRUE(m.Prealloc(1 << 20, &kTable));
    void* where = m;
    // A growing list steps by a few kilobytes at a time: all of it fits.
    for (int step = 0; step < 1000; ++step) ASSERT_TRUE(m.Incalloc(2048)) << "step " << step;
    EXPECT_EQ(static_cast<void*>(m), where);
    std::uint64_t size = m.GetAllocSize();
    EXPECT_EQ(size, (1u << 20) + 1000u * 2048u);
    ASSERT_TRUE(m.SetSize(size));
    std::memset(static_cast<void*>(m), 0x7E, size);  // every byte is there to use
    g_live += static_cast<int>(size / 4);
    EXPECT_FALSE(m.Incalloc(std::uint64_t(1) << 40));
    CPObjectMemory copy = m;
    ASSERT_TRUE(copy.clone());
    EXPECT_EQ(std::memcmp(static_cast<void*>(copy), static_cast<void*>(m), size), 0);
}

TEST_F(ObjectMemory, CloneMakesASharedBlockPrivate) {
    CPObjectMemory a;
    ASSERT_TRUE(a.Prealloc(32, &kTable));
    a.SetSize(12);
    g_live += 3;
    std::memset(static_cast<void*>(a), 0x5A, 12);
    EXPECT_TRUE(a.clone()) << "a private block stays as it is";
    EXPECT_EQ(g_clones, 0);

    CPObjectMemory b = a;
    ASSERT_TRUE(b.clone());
    EXPECT_EQ(g_clones, 1);
    EXPECT_NE(static_cast<void*>(a), static_cast<void*>(b));
    EXPECT_EQ(a.GetHolders(), 1);
    EXPECT_EQ(b.GetSize(), 12u);
    EXPECT_EQ(b.GetAllocSize(), 32u);
    EXPECT_EQ(std::memcmp(static_cast<void*>(a), static_cast<void*>(b), 12), 0);

    CPObjectMemory c = a;
    tqcore::SetAllocationFailureCountdown(0);
    EXPECT_FALSE(c.clone());
    tqcore::SetAllocationFailureCountdown(-1);
    EXPECT_EQ(static_cast<void*>(c), static_cast<void*>(a)) << "failure leaves the share";
}

TEST_F(ObjectMemory, AssignabilityAndAllocationFailure) {
    CPObjectMemory m;
    EXPECT_TRUE(m.IsAssignable(8, &kTable)) << "an empty memory can be taken by anyone";
    ASSERT_TRUE(m.Alloc(8, &kTable));
    EXPECT_TRUE(m.IsAssignable(8, &kTable));
    EXPECT_FALSE(m.IsAssignable(4, &kTable));
    EXPECT_FALSE(m.IsAssignable(8, &kOtherTable));
    tqcore::SetAllocationFailureCountdown(0);
    EXPECT_FALSE(m.Alloc(8, &kTable));
    EXPECT_FALSE(m.Prealloc(8, &kTable));
    tqcore::SetAllocationFailureCountdown(-1);
    EXPECT_FALSE(static_cast<bool>(m));
    EXPECT_EQ(m.GetSize(), 0u);
}

}  // namespace
