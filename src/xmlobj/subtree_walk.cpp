#include "xmlobj/subtree_walk.h"

#include <cstdlib>

namespace tqcore::detail {

WalkStack::~WalkStack() { std::free(m_frames); }

bool WalkStack::push(CXMLObject* node) noexcept {
    if (m_size == m_capacity) {
        std::size_t capacity = m_capacity ? m_capacity * 2 : 64;
        auto* frames = static_cast<Frame*>(std::realloc(m_frames, capacity * sizeof(Frame)));
        if (!frames) return false;
        m_frames = frames;
        m_capacity = capacity;
    }
    m_frames[m_size++] = Frame{node, 0};
    return true;
}

}  // namespace tqcore::detail
