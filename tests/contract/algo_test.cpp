#include "tqcore/algo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using tqcore::GetCRC32;

TEST(Crc32, CheckValuesAndBadInput) {
    struct Case {
        const char* text;
        std::uint32_t crc;
    } cases[] = {
        {"", 0},
        {"a", 0xE8B7BE43u},
        {"123456789", 0xCBF43926u},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
    };
    for (const Case& c : cases)
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

// The items' serial numbers must be a permutation of 0..n-1, each item whole.
void expectIntactPermutation(const std::vector<Item>& items, const std::vector<int>& keys) {
    std::vector<int> result;
    for (const Item& it : items) {
        EXPECT_EQ(it.key, keys.at(it.serial));
        EXPECT_EQ(it.tail[15], static_cast<char>(it.serial));
        result.push_back(it.serial);
    }
    std::sort(result.begin(), result.end());
    for (std::size_t i = 0; i < result.size(); ++i) EXPECT_EQ(result[i], static_cast<int>(i));
}

TEST(QSort, OrdersRandomDuplicateSortedAndReversedInput) {
    std::mt19937 rng(11);
    for (std::size_t n : {0u, 1u, 2u, 17u, 100u, 5000u}) {
        for (int shape = 0; shape < 5; ++shape) {
            std::vector<int> keys(n);
            for (std::size_t i = 0; i < n; ++i) {
                const int k = static_cast<int>(i);
                const int shaped[] = {static_cast<int>(rng() % 100000), static_cast<int>(rng() % 3),
                                      k, -k, 5};
                keys[i] = shaped[shape];
            }
            std::vector<Item> items = makeItems(keys);
            ASSERT_TRUE(tqcore::tqqsort(items.data(), n, sizeof(Item), compareItems));
            EXPECT_TRUE(std::is_sorted(items.begin(), items.end(),
                                       [](const Item& a, const Item& b) { return a.key < b.key; }))
                << "n " << n << " shape " << shape;
            expectIntactPermutation(items, keys);
        }
    }
}

TEST(QSort, InconsistentComparisonStaysInsideTheArray) {
    std::vector<int> keys(2000, 0);
    std::vector<Item> items = makeItems(keys);
    auto coinFlip = [](const void*, const void*) { return std::rand() % 3 - 1; };
    ASSERT_TRUE(tqcore::tqqsort(items.data(), items.size(), sizeof(Item), coinFlip));
    expectIntactPermutation(items, keys);
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

TEST(QSortAndSearch, RefuseBadArguments) {
    Item one{4, 0, {}};
    EXPECT_FALSE(tqcore::tqqsort(nullptr, 3, sizeof(Item), compareItems));
    EXPECT_FALSE(tqcore::tqqsort(&one, 1, sizeof(Item), nullptr));
    EXPECT_FALSE(tqcore::tqqsort(&one, 1, 0, compareItems));
    EXPECT_FALSE(tqcore::tqqsort(&one, SIZE_MAX / 2, sizeof(Item), compareItems));
    const int key = 4;
    EXPECT_EQ(tqcore::tqqsearch(&key, &one, 0, sizeof(Item), compareKeyToItem), 0u);
    EXPECT_EQ(tqcore::tqqsearch(&key, nullptr, 5, sizeof(Item), compareKeyToItem), 5u);
    EXPECT_EQ(tqcore::tqqsearch(&key, &one, 1, sizeof(Item), nullptr), 1u);
}

}  // namespace
