#pragma once
// Depth-first walks over a node's subtree without recursion, so a tree of
// any depth costs no stack.
#include <cstddef>
#include <cstdlib>

#include "tqxml/xmlnode.h"

namespace tqcore::detail {

// Marks a walk over image records rather than nodes: it meets no cycle,
// and the records bound its depth.
struct RecordWalk {};

// A stack of walk frames on the heap, so that depth costs no call stack.
template <class Frame>
class HeapStack {
  public:
    HeapStack() = default;
    explicit HeapStack(RecordWalk) noexcept : m_cycleBound(false) {}
    HeapStack(const HeapStack&) = delete;
    HeapStack& operator=(const HeapStack&) = delete;
    ~HeapStack() { std::free(m_frames); }

    // False when memory for the frame ran out, or when the walk went deeper
    // than there were nodes once it was deep: the tree then holds a cycle,
    // which a walk would follow for ever (a copying walk makes new nodes as
    // it goes, so the bound is taken once).
    bool push(const Frame& frame) noexcept {
        if (m_size == m_capacity) {
            if (m_capacity != 0 && m_cycleBound) {
                if (m_depthLimit == 0)
                    m_depthLimit = static_cast<std::size_t>(GetXMLObjectBodyCount());
                if (m_size > m_depthLimit) return false;
            }
            const std::size_t capacity = m_capacity ? 2 * m_capacity : 64;
            auto* frames = static_cast<Frame*>(std::realloc(m_frames, capacity * sizeof(Frame)));
            if (!frames) return false;
            m_frames = frames;
            m_capacity = capacity;
        }
        m_frames[m_size++] = frame;
        return true;
    }
    void pop() noexcept { --m_size; }
    bool empty() const noexcept { return m_size == 0; }
    Frame& top() noexcept { return m_frames[m_size - 1]; }

  private:
    Frame* m_frames = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
    std::size_t m_depthLimit = 0;
    bool m_cycleBound = true;
};

// A node of a walk and the next child to visit.
struct WalkFrame {
    CXMLObject* node;
    unsigned int next;
};

// `enter(node)` runs before a node's children and tells whether to visit
// them; `leave(node)` runs after them. Null children are skipped. False when
// memory for the walk ran out (the walk stops there).
template <class Enter, class Leave>
bool WalkSubtree(CXMLObject& root, Enter enter, Leave leave) {
    if (!enter(root)) return true;
    HeapStack<WalkFrame> stack;
    if (!stack.push(WalkFrame{&root, 0})) return false;
    while (!stack.empty()) {
        WalkFrame& top = stack.top();
        if (CXMLObject* child = top.node->item(top.next)) {
            ++top.next;
            if (*child && enter(*child) && !stack.push(WalkFrame{child, 0})) return false;
            continue;
        }
        leave(*top.node);
        stack.pop();
    }
    return true;
}

}  // namespace tqcore::detail
