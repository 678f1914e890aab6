#include "tqcore/property.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tqcore/heap.h"

namespace {

using tqcore::CPProperty;
using tqcore::GUID;

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
    EXPECT_EQ(static_cast<void*>(b), static_cast<void*>(a));
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
        EXPECT_STREQ(static_cast<char*>(static_cast<void*>(a)), "xyz");
        EXPECT_EQ(clears, 2);  // the old payload lives on in `other`
        EXPECT_FALSE(a.Realloc(0));
        tqcore::SetAllocationFailureCountdown(0);
        const bool allocated = a.Alloc(16);
        tqcore::SetAllocationFailureCountdown(-1);
        EXPECT_FALSE(allocated);
        EXPECT_FALSE(a);
        EXPECT_EQ(clears, 3);  // the failed Alloc released the payload first
    }
    EXPECT_EQ(clears, 3);
}

}  // namespace
