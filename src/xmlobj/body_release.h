#pragma once
#include "tqxml/xmlnode.h"

namespace tqcore::detail {

// Destroys a body whose count reached 0 and gives its block back to the
// heap. Bodies freed while another release runs on this thread are queued
// and destroyed by the outer release, so a deep tree costs no stack.
void ReleaseBody(CXMLObjectBody* body) noexcept;

// A new body from the node heap, or null when the heap is exhausted.
CXMLObjectBody* NewBody(const CPPoolString& name, unsigned int type) noexcept;

}  // namespace tqcore::detail
