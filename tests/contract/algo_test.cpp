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

TEST(Crc32, CheckValuesAndBadInput) {
    const struct {
        const char* text;
        std::uint32_t crc;
    } cases[] = {{"", 0},
                 {"a", 0xE8B7BE43u},
                 {"123456789", 0xCBF43926u},
                 {"The quick brown fox jumps over the lazy dog", 0x414FA339u}};
    for (const auto& c : cases)
        EXPECT_EQ(GetCRC32(c.text, std::strlen(c.text), 0), c.crc) << c.text;
    EXPECT_EQ(GetCRC32(nullptr, 100, 0xDEADBEEFu), 0xDEADBEEFu);
}

// Every split point also puts the sliced eight-byte loop at every alignment.
TEST(Crc32, SeedContinuesARunningCrc) {
    const std::string text = "a running checksum over data that arrives in several pieces";
    const std::uint32_t whole = GetCRC32(text.data(), text.size(), 0);
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        const std::uint32_t head = GetCRC32(text.data(), cut, 0);
        EXPECT_EQ(GetCRC32(text.data() + cut, text.size() - cut, head), whole) << "cut at " << cut;
    }
}

// 24-byte items: a key, and a serial number that must travel with it.
struct Item {
    int key;
    int serial;
    char tail[16];
};

int compareItems(const void* a, const void* b) {
    const int x = static_cast<const Item*>(a)->key, y = static_cast<const Item*>(b)->key;
    return (x > y) - (x < y);
}

int compareKeyToItem(const void* key, const void* item) {
    const int x = *static_cast<const int*>(key), y = static_cast<const Item*>(item)->key;
    return (x > y) - (x < y);
}

std::vector<Item> makeItems(const std::vector<int>& keys) {
    std::vector<Item> items(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        items[i] = Item{keys[i], static_cast<int>(i), {}};
        items[i].tail[15] = static_cast<char>(i);
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
        ASSERT_EQ(it.tail[15], static_cast<char>(it.serial));
    }
    if (compare == compareItems) {
        EXPECT_TRUE(std::is_sorted(items.begin(), items.end(),
                                   [](const Item& a, const Item& b) { return a.key < b.key; }));
    }
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
            sortAndExpectIntact(keys, compareItems);
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
        const std::size_t expected = std::lower_bound(keys.begin(), keys.end(), key) - keys.begin();
        EXPECT_EQ(
            tqcore::tqqsearch(&key, items.data(), items.size(), sizeof(Item), compareKeyToItem),
            expected)
            << "key " << key;
    }
}

}  // namespace
