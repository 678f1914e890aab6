#include "xmlobj/body_release.h"

#include <cstring>
#include <new>

#include "module/module.h"

namespace tqcore::detail {
namespace {

// Bodies waiting for destruction, linked through the storage of their data
// string, which is destroyed before a body is queued.
struct PendingBodies {
    bool busy = false;
    CXMLObjectBody* head = nullptr;
};
// Initial-exec: the library is linked, not loaded late, and the state is tiny.
__attribute__((tls_model("initial-exec"))) thread_local PendingBodies t_pending;

static_assert(sizeof(CPPoolString) >= sizeof(CXMLObjectBody*), "the link fits in the data slot");

void SetLink(CXMLObjectBody* body, CXMLObjectBody* next) noexcept {
    std::memcpy(static_cast<void*>(&body->m_Data), &next, sizeof next);
}

CXMLObjectBody* GetLink(CXMLObjectBody* body) noexcept {
    CXMLObjectBody* next;
    std::memcpy(&next, static_cast<const void*>(&body->m_Data), sizeof next);
    return next;
}

// Everything after the data, in member order: elements, attributes, name.
void DestroyRest(CXMLObjectBody* body) noexcept {
    body->m_Elements.~CXMLObjectList();
    body->m_Attribs.~CXMLAttribList();
    body->m_Name.~CPPoolString();
    body->m_lRefCnt.~atomic();
    module::XMLObjectHeap().Free(body);
}

}  // namespace

void ReleaseBody(CXMLObjectBody* body) noexcept {
    body->m_Data.~CPPoolString();
    PendingBodies& pending = t_pending;
    if (pending.busy) {
        SetLink(body, pending.head);
        pending.head = body;
        return;
    }
    pending.busy = true;
    for (;;) {
        DestroyRest(body);  // may queue the children it releases
        body = pending.head;
        if (!body) break;
        pending.head = GetLink(body);
    }
    pending.busy = false;
}

CXMLObjectBody* NewBody(const CPPoolString& name, unsigned int type) noexcept {
    void* block = module::XMLObjectHeap().Alloc();
    return block ? new (block) CXMLObjectBody(name, type) : nullptr;
}

}  // namespace tqcore::detail

namespace tqcore {

std::int64_t GetXMLObjectBodyCount() noexcept {
    return module::XMLObjectHeap().GetUsedCount();
}

}  // namespace tqcore
