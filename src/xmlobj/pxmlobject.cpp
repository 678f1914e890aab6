// The pooled node pointer: one shared slot holding one handle.
#include <new>

#include "module/reports.h"
#include "tqxml/xmlpobject.h"

namespace tqcore {

const tagCPOVTABL CPXMLObject::_vtbl = {&CPXMLObject::_create, &CPXMLObject::_clone,
                                        &CPXMLObject::_finalize};

void CPXMLObject::_create(void* storage, std::uint64_t) {
    new (storage) CXMLObject();
}

void CPXMLObject::_clone(void* target, const void* source, std::uint64_t) {
    new (target) CXMLObject(*static_cast<const CXMLObject*>(source));
}

void CPXMLObject::_finalize(void* storage, std::uint64_t) {
    static_cast<CXMLObject*>(storage)->~CXMLObject();
}

CPXMLObject::CPXMLObject(const CPObjectMemory& m) noexcept {
    if (m.IsAssignable(sizeof(CXMLObject), &_vtbl)) CPObjectMemory::operator=(m);
}

CPXMLObject& CPXMLObject::operator=(const CPObjectMemory& m) noexcept {
    if (m.IsAssignable(sizeof(CXMLObject), &_vtbl)) {
        CPObjectMemory::operator=(m);
    } else {
        reports::Assumption(reports::kXmlObj,
                            "cpMem.IsAssignable(sizeof(CXMLObject),&CPXMLObject::_vtbl)",
                            reports::kLinePXMLObjectAssign, __PRETTY_FUNCTION__);
        free();
    }
    return *this;
}

CPXMLObject::CPXMLObject(const CXMLObject& o) noexcept {
    *this = o;
}

CPXMLObject& CPXMLObject::operator=(const CXMLObject& o) noexcept {
    if (CXMLObject* handle = Create()) *handle = o;
    return *this;
}

CXMLObject* CPXMLObject::Create() noexcept {
    if (!slot() && !Alloc(sizeof(CXMLObject), &_vtbl)) return nullptr;
    return slot();
}

CXMLObject& CPXMLObject::operator*() noexcept {
    if (CXMLObject* handle = Create()) return *handle;
    // No slot could be had: hand out a scratch handle rather than a null reference.
    thread_local CXMLObject t_scratch;
    t_scratch.Free();
    return t_scratch;
}

const CXMLObject& CPXMLObject::operator*() const noexcept {
    static const CXMLObject s_null;
    const CXMLObject* handle = slot();
    return handle ? *handle : s_null;
}

}  // namespace tqcore
