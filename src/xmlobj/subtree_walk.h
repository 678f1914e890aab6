#pragma once
// Depth-first walks over a node's subtree without recursion, so a tree of
// any depth costs no stack.
#include <cstddef>
#include <cstdlib>

#include "kept_block.h"
#include "tqxml/xmlnode.h"

namespace tqcore::detail {

// Marks a walk over image records rather than nodes: it meets no cycle,
// and the records bound its depth.
struct RecordWalk {};

// A stack of walk frames on the heap, so that depth costs no call stack.
// The thread keeps its block (up to kKeptBytes) for the next walk of the
// kind, so that walking a deep tree again neither grows the stack nor
// touches fresh pages.
template <class Frame>
class HeapStack {
  public:
    HeapStack() noexcept { takeKept(); }
    explicit HeapStack(RecordWalk) noexcept : m_cycleBound(false) { takeKept(); }
    HeapStack(const HeapStack&) = delete;
    HeapStack& operator=(const HeapStack&) = delete;
    ~HeapStack() { Kept::Offer(m_frames, m_capacity * sizeof(Frame), kKeptBytes); }

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
    using Kept = KeptBlock<HeapStack>;
    static constexpr std::size_t kKeptBytes = std::size_t{1} << 20;

    void takeKept() noexcept {
        std::size_t bytes = 0;
        m_frames = static_cast<Frame*>(Kept::Take(bytes));
        m_capacity = bytes / sizeof(Frame);
    }

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
