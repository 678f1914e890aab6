// Registration and look-up of property handlers.
#include <new>

#include "module/module.h"
#include "xmlprop/handler_table.h"

namespace tqcore {
namespace {

const tagXMLPROPHANDLER kDefaultHandler{GUID_NULL, &CXMLPropHandler::GetXMLContent,
                                        &CXMLPropHandler::SetXMLContent};

bool SameFunctions(const tagXMLPROPHANDLER& a, const tagXMLPROPHANDLER& b) noexcept {
    return a.pfnGetXMLContent == b.pfnGetXMLContent && a.pfnSetXMLContent == b.pfnSetXMLContent;
}

}  // namespace

bool CXMLPropHandler::Register(const tagXMLPROPHANDLER& handler) noexcept {
    if (!handler.pfnGetXMLContent || !handler.pfnSetXMLContent) return false;
    CXMLPropHandlerTable& table = module::HandlerTable();
    const tagXMLPROPHANDLERENTRY probe = CXMLPropHandlerTable::Probe(handler);
    if (tagXMLPROPHANDLERENTRY* found = table.Find(handler.guidProperty)) {
        if (!SameFunctions(found->handler, handler)) {
            found->handler.pfnGetXMLContent = handler.pfnGetXMLContent;
            found->handler.pfnSetXMLContent = handler.pfnSetXMLContent;
        }
        return true;
    }
    void* block = module::XMLRegHeap().Alloc();
    if (!block) return false;
    auto* entry = new (block) tagXMLPROPHANDLERENTRY(probe);
    if (table.AddItem(&entry->hash)) return true;
    module::XMLRegHeap().Free(block);
    return false;
}

bool CXMLPropHandler::Unregister(const tagXMLPROPHANDLER& handler) noexcept {
    CXMLPropHandlerTable& table = module::HandlerTable();
    const tagXMLPROPHANDLERENTRY* found = table.Find(handler.guidProperty);
    if (!found) return false;
    if (!SameFunctions(found->handler, handler)) return true;
    const tagXMLPROPHANDLERENTRY probe = CXMLPropHandlerTable::Probe(handler);
    return table.DeleteItem(&probe.hash);
}

const tagXMLPROPHANDLER* CXMLPropHandler::FindHandler(const GUID& guid) noexcept {
    if (const tagXMLPROPHANDLERENTRY* found = module::HandlerTable().Find(guid))
        return &found->handler;
    return GetDefHandler(guid);
}

const tagXMLPROPHANDLER* CXMLPropHandler::GetDefHandler(const GUID& guid) noexcept {
    return guid == GUID_NULL ? nullptr : &kDefaultHandler;
}

}  // namespace tqcore
