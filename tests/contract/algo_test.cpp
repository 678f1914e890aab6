// CRC-32, sorting, searching and the hash table.
#include "tqcore/algo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "contract_test_support.h"
#include "tqcore/hashtable.h"

namespace {

using tqcore::GetCRC32;

// Every split point also puts the sliced eight-byte loop at every alignment.
TEST(Crc32, CheckValuesSeedsAndBadInput) {
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

using tqcore::tagHASHENTRY;

struct Entry {
    tagHASHENTRY header;
    int id;
    bool pinned = false;  // not disposable: the table only unlinks it
};

Entry makeEntry(std::uint32_t key, int id) {
    return Entry{{key, nullptr}, id};
}
const Entry& of(const tagHASHENTRY* e) {
    return *reinterpret_cast<const Entry*>(e);
}

class IdTable : public tqcore::CTQHashTable {
  public:
    explicit IdTable(std::uint32_t buckets) : CTQHashTable(buckets) {}
    ~IdTable() override { ClearTable(); }

    std::vector<int> released;
    int refuseId = -1;

  protected:
    int CompareItems(const tagHASHENTRY* a, const tagHASHENTRY* b) const override {
        return of(a).id - of(b).id;
    }
    void ReleaseItem(tagHASHENTRY* item) override {
        std::lock_guard<std::mutex> guard(m_releaseLock);
        released.push_back(of(item).id);
    }
    bool VerifyItem(const tagHASHENTRY* item) const override { return of(item).id != refuseId; }
    bool IsDisposable(const tagHASHENTRY* item) const override { return !of(item).pinned; }

  private:
    std::mutex m_releaseLock;
};

TEST(HashTable, CollidingKeysAreKeptApartByTheComparison) {
    // Keys 5 and 8 share a bucket of 3; ids 1, 2 and 3 share key 5.
    Entry entries[] = {makeEntry(5, 1), makeEntry(5, 2), makeEntry(8, 3), makeEntry(5, 3),
                       makeEntry(0, 4)};
    IdTable table(3);  // after the entries, so that it goes first
    for (Entry& e : entries) ASSERT_TRUE(table.AddItem(&e.header)) << e.id;
    for (Entry& e : entries) {
        Entry probe = makeEntry(e.header.dwHashKey, e.id);
        EXPECT_EQ(table.FindItem(&probe.header), &e.header) << e.id;
    }
    Entry missingId = makeEntry(5, 9), missingKey = makeEntry(2, 1), duplicate = makeEntry(5, 2);
    // The second has the bucket and id of an entry, but another key.
    EXPECT_FALSE(table.FindItem(&missingId.header) || table.FindItem(&missingKey.header));
    EXPECT_FALSE(table.AddItem(&duplicate.header));

    ASSERT_TRUE(table.DeleteItem(&duplicate.header));  // the middle of its chain
    EXPECT_EQ(table.released, std::vector<int>{2});
    EXPECT_FALSE(table.DeleteItem(&duplicate.header));
    EXPECT_EQ(table.FindItem(&entries[0].header), &entries[0].header);
    EXPECT_EQ(table.FindItem(&entries[3].header), &entries[3].header);
    EXPECT_EQ(table.GetCount(), 4u);
    ASSERT_TRUE(table.AddItem(&entries[1].header));  // a deleted entry can come back

    table.ClearTable();
    EXPECT_EQ(table.GetCount(), 0u);
    EXPECT_EQ(table.released.size(), 6u);
    for (Entry& e : entries) EXPECT_EQ(table.FindItem(&e.header), nullptr);
}

TEST(HashTable, VerifyDisposabilityAndBadInput) {
    Entry refused = makeEntry(1, 7), pinned{{1, nullptr}, 8, true}, plain = makeEntry(~0u, 9);
    IdTable table(0);
    EXPECT_EQ(table.GetBucketCount(), 1u);
    table.refuseId = 7;
    EXPECT_FALSE(table.AddItem(&refused.header) || table.AddItem(nullptr));
    EXPECT_FALSE(table.FindItem(nullptr) || table.DeleteItem(nullptr));
    ASSERT_TRUE(table.AddItem(&pinned.header));
    ASSERT_TRUE(table.AddItem(&plain.header));
    table.ClearTable();
    EXPECT_EQ(table.released, std::vector<int>{9});  // the pinned one was only unlinked
}

TEST(HashTable, ThreadsShareATable) {
    constexpr int kThreads = 4, kPerThread = 500;
    std::vector<Entry> entries;
    for (int i = 0; i < kThreads * kPerThread; ++i) entries.push_back(makeEntry(i % 37, i));
    IdTable table(10);
    tqtest::RunThreads(kThreads, [&](int t) {
        for (int i = t * kPerThread; i < (t + 1) * kPerThread; ++i) {
            if (table.AddItem(&entries[i].header) && i % 2) table.DeleteItem(&entries[i].header);
        }
    });
    EXPECT_EQ(table.GetCount(), table.released.size());
    EXPECT_EQ(table.released.size(), std::size_t(kThreads * kPerThread / 2));
}

}  // namespace
