#pragma once
// Depth-first walks over a node's subtree without recursion, so a tree of
// any depth costs no stack.
#include <cstddef>

#include "tqxml/xmlnode.h"

namespace tqcore::detail {

// The path from the walk's root to the current node, on the heap.
class WalkStack {
public:
    struct Frame {
        CXMLObject* node;
        unsigned int next;  // the next child to visit
    };

    WalkStack() = default;
    WalkStack(const WalkStack&) = delete;
    WalkStack& operator=(const WalkStack&) = delete;
    ~WalkStack();

    bool push(CXMLObject* node) noexcept;
    void pop() noexcept { --m_size; }
    bool empty() const noexcept { return m_size == 0; }
    Frame& top() noexcept { return m_frames[m_size - 1]; }

private:
    Frame* m_frames = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

// `enter(node)` runs before a node's children and tells whether to visit
// them; `leave(node)` runs after them. Null children are skipped. False when
// memory for the walk ran out (the walk stops there).
template <class Enter, class Leave>
bool WalkSubtree(CXMLObject& root, Enter enter, Leave leave) {
    if (!enter(root)) return true;
    WalkStack stack;
    if (!stack.push(&root)) return false;
    while (!stack.empty()) {
        WalkStack::Frame& top = stack.top();
        if (CXMLObject* child = top.node->item(top.next)) {
            ++top.next;
            if (*child && enter(*child) && !stack.push(child)) return false;
            continue;
        }
        leave(*top.node);
        stack.pop();
    }
    return true;
}

}  // namespace tqcore::detail
