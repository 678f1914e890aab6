#pragma once
// Releasing bodies whose count reached 0: a tree's release is a loop over a
// queue on the releasing thread, never recursion, and a large tree shares
// its release with the library's second thread.
#include <cstddef>

#include "tqxml/xmlnode.h"

namespace tqcore::xmlobj {

// Starts fetching what a body's release reads after its count: its lists.
inline void PrefetchLists(const CXMLObjectBody* body) noexcept {
    body->m_Attribs.Prefetch();
    body->m_Elements.Prefetch();
}

// Destroys `body`, gives its block back and releases everything it held.
// Returns when the whole release is done, the second thread's share included.
void ReleaseBody(CXMLObjectBody* body) noexcept;

// Child lists that took nodes the second thread built, by their element.
// Only such a list shares its release with the second thread: the second
// half of a list one thread built lies in that thread's caches, and moving
// it to the other core costs more than sharing the release gains. A few
// are remembered; a stale one only lets a list share its release.
void NoteBuiltInHalves(const CXMLObject& element) noexcept;
// Whether the list whose handles start at `items` was noted; forgets it.
bool ForgetBuiltInHalves(const CXMLObject* items) noexcept;

// Room for `count` handles whose bodies the second thread is to release,
// when this thread is releasing a tree and the second thread is free for
// it; null otherwise. The caller moves the handles in and calls StartHandOff() with
// the function that destroys them.
CXMLObject* HandOffRoom(std::size_t count) noexcept;
using HandleRelease = void (*)(CXMLObject* handles, std::size_t count) noexcept;
void StartHandOff(HandleRelease release) noexcept;

}  // namespace tqcore::xmlobj
