#include "tqcore/hashtable.h"

#include "tqcore/heap.h"

namespace tqcore {

CTQHashTable::CTQHashTable(std::uint32_t buckets) noexcept
    : m_ppBuckets(nullptr), m_dwBuckets(0), m_dwCount(0) {
    if (buckets == 0) buckets = 1;
    void* array = _falloc(std::size_t(buckets) * sizeof(tagHASHENTRY*));
    if (!array) return;
    m_ppBuckets = static_cast<tagHASHENTRY**>(array);
    for (std::uint32_t i = 0; i < buckets; ++i) m_ppBuckets[i] = nullptr;
    m_dwBuckets = buckets;
}

CTQHashTable::~CTQHashTable() {
    _ffree(m_ppBuckets);
}

// The link that points at the entry equal to the probe (null when there is
// none), so that the caller can unlink it. Called under the lock.
tagHASHENTRY** CTQHashTable::findLink(const tagHASHENTRY* probe) const {
    if (!probe || m_dwBuckets == 0) return nullptr;
    for (tagHASHENTRY** link = &m_ppBuckets[probe->dwHashKey % m_dwBuckets]; *link;
         link = &(*link)->pNext) {
        if ((*link)->dwHashKey == probe->dwHashKey && CompareItems(*link, probe) == 0) return link;
    }
    return nullptr;
}

bool CTQHashTable::AddItem(tagHASHENTRY* item) {
    if (!item || !VerifyItem(item)) return false;
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_dwBuckets == 0 || findLink(item)) return false;
    tagHASHENTRY*& head = m_ppBuckets[item->dwHashKey % m_dwBuckets];
    item->pNext = head;
    head = item;
    ++m_dwCount;
    return true;
}

tagHASHENTRY* CTQHashTable::FindItem(const tagHASHENTRY* probe) const {
    std::lock_guard<std::mutex> guard(m_lock);
    tagHASHENTRY** link = findLink(probe);
    return link ? *link : nullptr;
}

bool CTQHashTable::DeleteItem(const tagHASHENTRY* probe) {
    tagHASHENTRY* item;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        tagHASHENTRY** link = findLink(probe);
        if (!link) return false;
        item = *link;
        *link = item->pNext;
        item->pNext = nullptr;
        --m_dwCount;
    }
    releaseChain(item);
    return true;
}

void CTQHashTable::ClearTable() {
    tagHASHENTRY* chain = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (std::uint32_t i = 0; i < m_dwBuckets; ++i) {
            while (tagHASHENTRY* item = m_ppBuckets[i]) {
                m_ppBuckets[i] = item->pNext;
                item->pNext = chain;
                chain = item;
            }
        }
        m_dwCount = 0;
    }
    releaseChain(chain);
}

// Hands unlinked entries to the subclass, outside the lock.
void CTQHashTable::releaseChain(tagHASHENTRY* chain) {
    while (chain) {
        tagHASHENTRY* next = chain->pNext;
        chain->pNext = nullptr;
        if (IsDisposable(chain)) ReleaseItem(chain);
        chain = next;
    }
}

std::uint32_t CTQHashTable::GetCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_dwCount;
}

bool CTQHashTable::VerifyItem(const tagHASHENTRY*) const {
    return true;
}

bool CTQHashTable::IsDisposable(const tagHASHENTRY*) const {
    return true;
}

}  // namespace tqcore
