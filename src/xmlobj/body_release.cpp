// Body release. A released tree's bodies wait in a queue on the releasing
// thread, so depth costs no stack, and the pooled strings they let go of
// are released together, shard by shard. When a long child list that a
// parse built in two halves is released, its second half goes to the
// library's second thread when that is free, so that each thread releases
// what lies in its own caches. The release returns only once
// both are done, so nothing outside can tell.
#include "xmlobj/body_release.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "module/module.h"
#include "module/second_thread.h"
#include "tqcore/pool.h"

namespace tqcore::xmlobj {
namespace {

// Bodies waiting for destruction, linked through the storage of their data
// string, which is destroyed before a body is queued.
struct PendingBodies {
    bool busy = false;
    CXMLObjectBody* head = nullptr;
    bool outermost = false;  // an outermost release of this thread's runs, which may hand off
    bool counted = false;    // it counts among those running
    bool alone = false;      // and runs alone
    bool handedOff = false;  // and holds the second thread
    // Siblings mostly share their name: a run of bodies with the same name
    // drops its references in one step.
    detail::PoolEntry* runName = nullptr;
    std::int32_t runLength = 0;
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

void EndNameRun(PendingBodies& pending) noexcept {
    if (pending.runLength) detail::ReleaseBatch::DropRepeated(pending.runName, pending.runLength);
    pending.runLength = 0;
}

// Everything after the data, in member order: elements, attributes, name.
void DestroyRest(PendingBodies& pending, CXMLObjectBody* body) noexcept {
    body->m_Elements.~CXMLObjectList();
    body->m_Attribs.~CXMLAttribList();
    detail::PoolEntry* const name = detail::PoolAccess::Detach(body->m_Name);
    if (name != pending.runName) {
        EndNameRun(pending);
        pending.runName = name;
    }
    pending.runLength += name != nullptr;
    body->m_lRefCnt.~atomic();
    module::XMLObjectHeap().Free(body);
}

// Destroys `body` (its data already dropped; may be null) and every body
// queued meanwhile.
void Drain(PendingBodies& pending, CXMLObjectBody* body) noexcept {
    pending.busy = true;
    for (;;) {
        if (body) {
            // The next body's own line was fetched the last time round: start
            // on its lists and on the body after it.
            if (CXMLObjectBody* next = pending.head) {
                PrefetchLists(next);
                __builtin_prefetch(GetLink(next));
            }
            DestroyRest(pending, body);  // may queue the children it releases
        }
        body = pending.head;
        if (!body) break;
        pending.head = GetLink(body);
    }
    EndNameRun(pending);  // while the strings' batch is open
    pending.busy = false;
}

// The handles handed to the second thread; only its holder touches them
// between jobs.
struct HandedOff {
    CXMLObject* handles = nullptr;
    std::size_t capacity = 0;
    std::size_t count = 0;
    HandleRelease release = nullptr;
} g_handedOff;

void ReleaseHandedOff(void*) noexcept {
    detail::ReleaseBatch strings;
    PendingBodies& pending = t_pending;
    pending.busy = true;  // each final release queues its body
    g_handedOff.release(g_handedOff.handles, g_handedOff.count);
    Drain(pending, nullptr);
}

// Lists built in halves, by their first handle.
constexpr unsigned kBuiltInHalves = 8;
std::atomic<const CXMLObject*> g_builtInHalves[kBuiltInHalves] = {};
std::atomic<unsigned> g_nextBuiltInHalves{0};

}  // namespace

void NoteBuiltInHalves(const CXMLObject& element) noexcept {
    unsigned count = 0;
    const CXMLObject* items = element.GetElements(count);
    if (!items) return;
    const unsigned at = g_nextBuiltInHalves.fetch_add(1, std::memory_order_relaxed);
    g_builtInHalves[at % kBuiltInHalves].store(items, std::memory_order_relaxed);
}

bool ForgetBuiltInHalves(const CXMLObject* items) noexcept {
    for (std::atomic<const CXMLObject*>& noted : g_builtInHalves) {
        const CXMLObject* expected = items;
        if (noted.load(std::memory_order_relaxed) == items &&
            noted.compare_exchange_strong(expected, nullptr, std::memory_order_relaxed))
            return true;
    }
    return false;
}

void ReleaseBody(CXMLObjectBody* body) noexcept {
    PendingBodies& pending = t_pending;
    if (pending.busy) {
        detail::PoolAccess::Drop(body->m_Data);
        if (!body->m_Elements.HasBlock()) {
            // Without children it releases no body: no need to queue it.
            DestroyRest(pending, body);
            return;
        }
        SetLink(body, pending.head);
        pending.head = body;
        return;
    }
    {
        detail::ReleaseBatch strings;
        detail::PoolAccess::Drop(body->m_Data);
        pending.outermost = true;
        Drain(pending, body);
        pending.outermost = false;
    }
    if (pending.handedOff) {
        pending.handedOff = false;
        module::SecondThread::Wait();
        module::SecondThread::Let();
    }
    if (pending.counted) {
        pending.counted = false;
        module::SecondThread::Leave();
    }
}

CXMLObject* HandOffRoom(std::size_t count) noexcept {
    PendingBodies& pending = t_pending;
    // Only a release that waits for the second thread at its end may: not
    // a list released by itself, nor one in the second thread's share.
    if (!pending.outermost) return nullptr;
    if (!pending.counted) {
        pending.counted = true;
        pending.alone = module::SecondThread::Enter();
    }
    if (!pending.alone) return nullptr;
    if (!pending.handedOff) {
        if (!module::SecondThread::Hold()) return nullptr;
        pending.handedOff = true;
    } else if (!module::SecondThread::Idle()) {
        return nullptr;
    }
    if (count > g_handedOff.capacity) {
        // Empty between jobs: the handles were all destroyed.
        void* grown = std::malloc(count * sizeof(CXMLObject));
        if (!grown) return nullptr;
        std::free(g_handedOff.handles);
        g_handedOff.handles = static_cast<CXMLObject*>(grown);
        g_handedOff.capacity = count;
    }
    g_handedOff.count = count;
    return g_handedOff.handles;
}

void StartHandOff(HandleRelease release) noexcept {
    g_handedOff.release = release;
    module::SecondThread::Start(&ReleaseHandedOff, nullptr);
}

}  // namespace tqcore::xmlobj
