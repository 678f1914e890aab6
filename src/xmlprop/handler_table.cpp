#include "xmlprop/handler_table.h"

#include <cstring>

#include "module/module.h"
#include "tqcore/algo.h"

namespace tqcore {
namespace {

const tagXMLPROPHANDLERENTRY* EntryOf(const tagHASHENTRY* item) noexcept {
    return reinterpret_cast<const tagXMLPROPHANDLERENTRY*>(item);
}

}  // namespace

tagXMLPROPHANDLERENTRY CXMLPropHandlerTable::Probe(const tagXMLPROPHANDLER& handler) noexcept {
    tagXMLPROPHANDLERENTRY probe{};
    probe.hash.dwHashKey = GetCRC32(&handler.guidProperty, sizeof(GUID), 0);
    probe.handler = handler;
    return probe;
}

tagXMLPROPHANDLERENTRY* CXMLPropHandlerTable::Find(const GUID& guid) const noexcept {
    const tagXMLPROPHANDLERENTRY probe = Probe(tagXMLPROPHANDLER{guid, nullptr, nullptr});
    return reinterpret_cast<tagXMLPROPHANDLERENTRY*>(FindItem(&probe.hash));
}

int CXMLPropHandlerTable::CompareItems(const tagHASHENTRY* a, const tagHASHENTRY* b) const {
    return std::memcmp(&EntryOf(a)->handler.guidProperty, &EntryOf(b)->handler.guidProperty,
                       sizeof(GUID));
}

void CXMLPropHandlerTable::ReleaseItem(tagHASHENTRY* item) {
    module::XMLRegHeap().Free(item);
}

}  // namespace tqcore
