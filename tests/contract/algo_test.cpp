#include "tqcore/algo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using tqcore::GetCRC32;

// Every split point also puts the sliced eight-byte loop at every alignment.
TEST(Crc32, CheckValuesSeedsAndBadInput) {
    EXPECT_EQ(GetCRC32("", 0, 0), 0u);
    EXPECT_EQ(GetCRC32("a", 1, 0), 0xE8B7BE43u);
    EXPECT_EQ(GetCRC32("123456789", 9, 0), 0xCBF43926u);
    EXPECT_EQ(GetCRC32(nullptr, 100, 0xDEADBEEFu), 0xDEADBEEFu);
    const std::string text = "The quick brown fox jumps over the lazy dog";
    ASSERT_EQ(GetCRC32(text.data(), text.size(), 0), 0x414FA339u);
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        const std::uint32_t head = GetCRC32(text.data(), cut, 0);
        EXPECT_EQ(GetCRC32(text.data() + cut, text.size() - cut, head), 0x414FA339u) << cut;
    }
}

// 24-byte items: a key, and a serial number and tail that must travel with it.
struct Item {
    int key, serial;
    char tail[16];
};

int compareKeys(const void* a, const void* b) {
    const int x = *static_cast<const int*>(a), y = *static_cast<const int*>(b);
    return (x > y) - (x < y);
}

std::vector<Item> makeItems(const std::vector<int>& keys) {
    std::vector<Item> items(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        items[i] = Item{keys[i], int(i), {}};
        items[i].tail[15] = char(i);  // the last bytes of an item move too
    }
    return items;
}

// Sorts and checks that the items are a whole permutation of the input.
void sortAndExpectIntact(const std::vector<int>& keys, int (*compare)(const void*, const void*)) {
    std::vector<Item> items = makeItems(keys);
    ASSERT_TRUE(tqcore::tqqsort(items.data(), items.size(), sizeof(Item), compare));
    std::vector<bool> seen(keys.size());
    for (const Item& it : items) {
        ASSERT_FALSE(seen.at(it.serial)) << "item " << it.serial << " duplicated";
        seen[it.serial] = true;
        ASSERT_EQ(it.key, keys[it.serial]);
        ASSERT_EQ(it.tail[15], char(it.serial));
    }
    EXPECT_TRUE(compare != compareKeys ||
                std::is_sorted(items.begin(), items.end(),
                               [](const Item& a, const Item& b) { return a.key < b.key; }));
}

TEST(QSort, OrdersRandomDuplicateSortedAndReversedInput) {
    std::mt19937 rng(11);
    for (int n : {0, 2, 17, 5000}) {
        for (int shape = 0; shape < 5; ++shape) {
            std::vector<int> keys(n);
            for (int i = 0; i < n; ++i) {
                const int shaped[] = {int(rng() % 100000), int(rng() % 3), i, -i, 5};
                keys[i] = shaped[shape];
            }
            SCOPED_TRACE("n " + std::to_string(n) + " shape " + std::to_string(shape));
            sortAndExpectIntact(keys, compareKeys);
        }
    }
    // An inconsistent comparison must still keep the sort inside the array.
    sortAndExpectIntact(std::vector<int>(2000, 0),
                        [](const void*, const void*) { return std::rand() % 3 - 1; });
}

TEST(QSearch, FindsTheLowerBoundAmongDuplicates) {
    const std::vector<int> keys = {2, 2, 2, 5, 7, 7, 9, 9, 9, 9, 12};
    const std::vector<Item> items = makeItems(keys);
    for (int key = 0; key <= 13; ++key) {
        EXPECT_EQ(tqcore::tqqsearch(&key, items.data(), items.size(), sizeof(Item), compareKeys),
                  std::size_t(std::lower_bound(keys.begin(), keys.end(), key) - keys.begin()))
            << "key " << key;
    }
}

}  // namespace
