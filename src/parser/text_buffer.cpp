// Page-allocated text buffers with a one-slot cache per thread.
#include "parser/text_buffer.h"

#include <cstddef>

#include "tqplatform/memory.h"

namespace tqcore::parser {
namespace {

// Each buffer starts with its capacity; the caller sees what follows.
struct BufferHead {
    std::size_t capacity;
    std::size_t pad;  // keeps the text 16-byte aligned
};

constexpr std::size_t kPage = 4096;

// Larger buffers are returned to the system rather than kept.
constexpr std::size_t kMaxCached = std::size_t{64} << 20;

struct CachedBuffer {
    BufferHead* head = nullptr;
    ~CachedBuffer() {
        if (head) tqplat::VirtualFree(head, 0, tqplat::MEM_RELEASE);
    }
};
thread_local CachedBuffer t_cached;

}  // namespace

void* AcquireTextBuffer(std::uint32_t size) noexcept {
    BufferHead* head = t_cached.head;
    if (head && head->capacity >= size) {
        t_cached.head = nullptr;
        return head + 1;
    }
    const std::size_t bytes = sizeof(BufferHead) + std::size_t{size};
    head = static_cast<BufferHead*>(
        tqplat::VirtualAlloc(nullptr, bytes, tqplat::MEM_COMMIT, tqplat::PAGE_READWRITE));
    if (!head) return nullptr;
    // The mapping is whole pages: the rest of the last one is usable too.
    head->capacity = ((bytes + kPage - 1) & ~(kPage - 1)) - sizeof(BufferHead);
    return head + 1;
}

void ReleaseTextBuffer(void* buffer) noexcept {
    if (!buffer) return;
    BufferHead* head = static_cast<BufferHead*>(buffer) - 1;
    if (head->capacity > kMaxCached) {
        tqplat::VirtualFree(head, 0, tqplat::MEM_RELEASE);
        return;
    }
    if (t_cached.head) {
        if (t_cached.head->capacity >= head->capacity) {
            tqplat::VirtualFree(head, 0, tqplat::MEM_RELEASE);
            return;
        }
        tqplat::VirtualFree(t_cached.head, 0, tqplat::MEM_RELEASE);
    }
    t_cached.head = head;
}

}  // namespace tqcore::parser
