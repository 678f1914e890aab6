#pragma once
// The handler registry's hash table: entries from the "XMLReg" heap, keyed
// by the CRC of their GUID and told apart by the GUID's bytes.
#include "tqcore/hashtable.h"
#include "tqxml/xmlprop.h"

namespace tqcore {

struct tagXMLPROPHANDLERENTRY {
    tagHASHENTRY hash;
    tagXMLPROPHANDLER handler;
};

class CXMLPropHandlerTable : public CTQHashTable {
  public:
    static constexpr std::uint32_t kBuckets = 10;

    CXMLPropHandlerTable() noexcept : CTQHashTable(kBuckets) {}
    ~CXMLPropHandlerTable() override { ClearTable(); }

    // An entry to look `guid` up with.
    static tagXMLPROPHANDLERENTRY Probe(const tagXMLPROPHANDLER& handler) noexcept;
    tagXMLPROPHANDLERENTRY* Find(const GUID& guid) const noexcept;

  protected:
    int CompareItems(const tagHASHENTRY* a, const tagHASHENTRY* b) const override;
    void ReleaseItem(tagHASHENTRY* item) override;
};

}  // namespace tqcore
