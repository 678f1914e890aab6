#include "tqcore/hashtable.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

namespace {

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
    EXPECT_EQ(table.FindItem(&missingId.header), nullptr);
    EXPECT_EQ(table.FindItem(&missingKey.header), nullptr);  // same bucket and id, other key
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
    EXPECT_FALSE(table.AddItem(&refused.header));
    EXPECT_FALSE(table.AddItem(nullptr));
    EXPECT_EQ(table.FindItem(nullptr), nullptr);
    EXPECT_FALSE(table.DeleteItem(nullptr));
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
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = t * kPerThread; i < (t + 1) * kPerThread; ++i) {
                if (table.AddItem(&entries[i].header) && i % 2)
                    table.DeleteItem(&entries[i].header);
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(table.GetCount(), std::uint32_t(kThreads * kPerThread / 2));
    EXPECT_EQ(table.released.size(), std::size_t(kThreads * kPerThread / 2));
}

}  // namespace
