#include "tqcore/stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "contract_test_support.h"

namespace {

using tqcore::CPFMemoryStream;
using tqcore::CPMemory;
using tqtest::WithoutMemory;

constexpr std::uint32_t kRead = 0x80000000u;
constexpr std::uint32_t kWrite = 0x40000000u;
constexpr std::size_t kBlock = CPFMemoryStream::kBlockSize;

std::vector<unsigned char> pattern(std::size_t n) {
    std::vector<unsigned char> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>(i * 31 + i / 251);
    return v;
}

TEST(MemoryStream, SetPointerStaysWithinTheContent) {
    CPFMemoryStream s;
    ASSERT_TRUE(s.Open(kRead | kWrite, false));
    ASSERT_EQ(s.Write("0123456789", 10), 10u);
    const struct {
        std::int64_t offset;
        std::uint32_t method;
        std::int64_t result;  // -1: refused, the position stays at 4
    } cases[] = {{10, 0, 10}, {11, 0, -1}, {-1, 0, -1}, {-4, 1, 0},         {-5, 1, -1},
                 {-10, 2, 0}, {1, 2, -1},  {0, 3, -1},  {INT64_MAX, 1, -1}, {INT64_MIN, 2, -1}};
    for (const auto& c : cases) {
        ASSERT_EQ(s.SetPointer(4, 0), 4);
        EXPECT_EQ(s.SetPointer(c.offset, c.method), c.result) << c.offset << " method " << c.method;
        EXPECT_EQ(s.GetPointer(), c.result < 0 ? 4u : std::uint64_t(c.result));
    }
}

// Overwriting across a block edge keeps the size and the bytes around it.
TEST(MemoryStream, OverwritesInPlaceAcrossABoundary) {
    CPFMemoryStream s;
    ASSERT_TRUE(s.Open(kRead | kWrite, false));
    const std::vector<unsigned char> data = pattern(2 * kBlock);
    ASSERT_EQ(s.Write(data.data(), data.size()), data.size());
    ASSERT_EQ(s.SetPointer(kBlock - 3, 0), std::int64_t(kBlock - 3));
    ASSERT_EQ(s.Write("ABCDEF", 6), 6u);
    EXPECT_EQ(s.GetSize(), 2 * kBlock);
    unsigned char back[8];
    ASSERT_EQ(s.SetPointer(-7, 1), std::int64_t(kBlock - 4));
    ASSERT_EQ(s.Read(back, 8), 8u);
    const unsigned char expected[8] = {data[kBlock - 4], 'A', 'B', 'C', 'D', 'E', 'F',
                                       data[kBlock + 3]};
    EXPECT_EQ(std::memcmp(back, expected, 8), 0);
}

TEST(MemoryStream, AccessFollowsOpenAndClose) {
    CPFMemoryStream s;
    char buffer[4];
    EXPECT_EQ(s.Write("abc", 3), 0u);  // not open
    EXPECT_EQ(s.SetPointer(0, 0), -1);
    EXPECT_FALSE(s.Open(0x1234, false));  // neither read nor write
    ASSERT_TRUE(s.Open(kWrite, false));
    EXPECT_FALSE(s.Open(kWrite, false));  // already open
    ASSERT_EQ(s.Write("abc", 3), 3u);
    ASSERT_EQ(s.SetPointer(0, 0), 0);
    EXPECT_EQ(s.Read(buffer, 3), 0u);  // write only
    s.Close();
    CPMemory mem;
    EXPECT_TRUE(s.Store(mem));  // closing keeps the content
    ASSERT_TRUE(s.Open(kRead, true));
    EXPECT_EQ(s.Write("x", 1), 0u);  // read only
    ASSERT_EQ(s.Read(buffer, 4), 3u);
    EXPECT_EQ(std::memcmp(buffer, "abc", 3), 0);
    s.Close();
    ASSERT_TRUE(s.Open(kRead | kWrite, false));  // a fresh start discards it
    EXPECT_EQ(s.GetSize(), 0u);
}

TEST(MemoryStream, BadInputAndFailedAllocationChangeNothing) {
    CPFMemoryStream s;
    ASSERT_TRUE(s.Open(kRead | kWrite, false));
    CPMemory mem;
    ASSERT_TRUE(mem.Alloc(4));
    EXPECT_FALSE(s.Store(mem));  // nothing to store: the memory is freed
    EXPECT_FALSE(mem);
    const std::vector<unsigned char> data = pattern(kBlock + 10);
    EXPECT_EQ(s.Write(nullptr, 5) + s.Write(data.data(), 0) + s.Read(nullptr, 3), 0u);
    ASSERT_EQ(s.Write(data.data(), 10), 10u);
    EXPECT_EQ(WithoutMemory([&] { return s.Write(data.data(), data.size()); }), 0u);
    EXPECT_FALSE(WithoutMemory([&] { return s.Store(mem); }));
    EXPECT_EQ(s.GetSize(), 10u);
    EXPECT_EQ(s.GetPointer(), 10u);
    s.Delete();
    EXPECT_EQ(s.GetSize(), 0u);
    EXPECT_EQ(s.Write(data.data(), data.size()), data.size());  // still open after Delete
}

}  // namespace
