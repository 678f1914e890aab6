#include "tqcore/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "tqcore/heap.h"

namespace {

using tqcore::CPMemory;

char* bytes(const CPMemory& m) {
    return static_cast<char*>(static_cast<void*>(m));
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
    EXPECT_FALSE(m.Alloc(0));
    EXPECT_FALSE(m.Alloc(UINT64_MAX));
    EXPECT_FALSE(m);
    ASSERT_TRUE(m.Alloc(16));
    char* before = bytes(m);
    EXPECT_FALSE(m.Realloc(0));
    EXPECT_FALSE(m.Realloc(UINT64_MAX));
    EXPECT_EQ(bytes(m), before);
    EXPECT_EQ(m.GetSize(), 16u);
    tqcore::SetAllocationFailureCountdown(0);
    CPMemory shared(m);
    const bool copied = shared.Realloc(32);  // needs a copy, which cannot be made
    const bool allocated = m.Alloc(8);
    tqcore::SetAllocationFailureCountdown(-1);
    EXPECT_FALSE(copied);
    EXPECT_EQ(bytes(shared), before);
    EXPECT_FALSE(allocated);
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

}  // namespace
