#pragma once
// An intrusive hash table. Entries start with a tagHASHENTRY; the table links
// them into its buckets and hands them back through ReleaseItem. A subclass
// supplies the comparison of two entries with the same key and the release.
#include <cstdint>
#include <mutex>

#include "tqcore/export.h"

namespace tqcore {

struct tagHASHENTRY {
    std::uint32_t dwHashKey;
    tagHASHENTRY* pNext;  // bucket chain; the table's own while the entry is in it
};

// Every operation takes the table's lock, so threads may share a table. The
// comparison runs under that lock and must not call back into the table;
// releases run after it is dropped.
class TQCORE_API CTQHashTable {
  public:
    // A table of `buckets` chains (0 counts as 1). When the bucket array cannot
    // be allocated, every AddItem fails.
    explicit CTQHashTable(std::uint32_t buckets) noexcept;
    // The base cannot call the subclass's release any more: a subclass clears
    // the table in its own destructor. Entries still here are only unlinked.
    virtual ~CTQHashTable();
    CTQHashTable(const CTQHashTable&) = delete;
    CTQHashTable& operator=(const CTQHashTable&) = delete;

    // Links `item` in. False for a null item, one that VerifyItem rejects, one
    // equal to an entry already held, or a table without buckets.
    bool AddItem(tagHASHENTRY* item);
    // The held entry with the probe's key that compares equal to it, or null.
    tagHASHENTRY* FindItem(const tagHASHENTRY* probe) const;
    // Unlinks the entry equal to the probe and, when it IsDisposable, releases
    // it. False when there is none.
    bool DeleteItem(const tagHASHENTRY* probe);
    // Unlinks every entry, releasing the disposable ones.
    void ClearTable();

    std::uint32_t GetCount() const;
    std::uint32_t GetBucketCount() const noexcept { return m_dwBuckets; }

  protected:
    // Orders two entries with the same key: zero means the same entry.
    virtual int CompareItems(const tagHASHENTRY* a, const tagHASHENTRY* b) const = 0;
    // Takes back an entry that left the table.
    virtual void ReleaseItem(tagHASHENTRY* item) = 0;
    // Whether `item` may enter the table. The base accepts every entry.
    virtual bool VerifyItem(const tagHASHENTRY* item) const;
    // Whether an entry leaving the table goes to ReleaseItem. The base: always.
    virtual bool IsDisposable(const tagHASHENTRY* item) const;

  private:
    tagHASHENTRY** findLink(const tagHASHENTRY* probe) const;
    void releaseChain(tagHASHENTRY* chain);

    tagHASHENTRY** m_ppBuckets;
    std::uint32_t m_dwBuckets;
    std::uint32_t m_dwCount;
    mutable std::mutex m_lock;
};

}  // namespace tqcore
