// Page-allocated text buffers with a one-slot cache per thread.
#include "parser/text_buffer.h"

#include <atomic>
#include <cstddef>

#include "tqcore/heap.h"
#include "tqcore/thread_exit.h"
#include "tqplatform/files.h"
#include "tqplatform/memory.h"

namespace tqcore::parser {
namespace {

// Each buffer starts with its mapping size; the caller sees what follows.
struct BufferHead {
    std::size_t mapped;
    // Keeps the text 16-byte aligned, and is zero: collapsing white space
    // looks at the unit before a piece, which for the first is this one.
    std::size_t zero;
};

constexpr std::size_t kPage = 4096;

// A buffer up to kMaxKept is kept, so that repeated opens of large documents
// fault in no fresh pages. One above kSmallKept stays only until the thread
// next opens a document that needs no more than kSmallKept: a thread that
// once read a large document does not hold its size while it reads small ones.
constexpr std::size_t kSmallKept = std::size_t{4} << 20;
constexpr std::size_t kMaxKept = std::size_t{64} << 20;

std::atomic<std::uint64_t> g_keptBytes{0};

void Unmap(BufferHead* head) noexcept {
    if (head) tqplat::VirtualFree(head, 0, tqplat::MEM_RELEASE);
}

std::size_t Capacity(const BufferHead* head) noexcept {
    return head->mapped - sizeof(BufferHead);
}

void Forget(BufferHead* head) noexcept {
    if (head) g_keptBytes.fetch_sub(head->mapped, std::memory_order_relaxed);
}

// A kept buffer that goes: an ended thread's, or one no key can hold.
void DropKept(void* kept) noexcept {
    auto* head = static_cast<BufferHead*>(kept);
    Forget(head);
    Unmap(head);
}

// The buffer a thread keeps; the thread-exit hook holds it too.
class KeptBuffer {
  public:
    BufferHead* take() noexcept {
        BufferHead* head = m_head;
        Forget(head);
        keep(nullptr);
        return head;
    }
    // Keeps the larger of `head` and the kept buffer; the other is unmapped.
    void offer(BufferHead* head) noexcept {
        if (head->mapped > kMaxKept || (m_head && m_head->mapped >= head->mapped)) {
            Unmap(head);
            return;
        }
        if (m_head) Unmap(take());
        g_keptBytes.fetch_add(head->mapped, std::memory_order_relaxed);
        keep(head);
    }
    BufferHead* peek() const noexcept { return m_head; }
    // Whether the kept buffer serves `size`; a large one asked for a small
    // size is unmapped instead.
    bool serves(std::size_t size) noexcept {
        if (!m_head || Capacity(m_head) < size) return false;
        if (m_head->mapped <= kSmallKept || size + sizeof(BufferHead) > kSmallKept) return true;
        Unmap(take());
        return false;
    }

  private:
    void keep(BufferHead* head) noexcept {
        static const detail::ThreadExitHook hook(DropKept);
        // Without a key the buffer goes at once rather than outlive the thread.
        if (!hook.set(head) && head) {
            DropKept(head);
            head = nullptr;
        }
        m_head = head;
    }

    BufferHead* m_head = nullptr;
};
thread_local KeptBuffer t_kept;

}  // namespace

void* AcquireTextBuffer(std::uint32_t size) noexcept {
    if (!CountAllocation()) {
        tqplat::SetLastError(tqplat::ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (t_kept.serves(size)) return t_kept.take() + 1;
    // The mapping is whole pages: the rest of the last one is usable too.
    const std::size_t bytes = (sizeof(BufferHead) + std::size_t{size} + kPage - 1) & ~(kPage - 1);
    auto* head = static_cast<BufferHead*>(
        tqplat::VirtualAlloc(nullptr, bytes, tqplat::MEM_COMMIT, tqplat::PAGE_READWRITE));
    if (!head) return nullptr;
    head->mapped = bytes;
    head->zero = 0;
    return head + 1;
}

void* KeptTextBuffer(std::size_t& capacity) noexcept {
    BufferHead* const head = t_kept.peek();
    if (!head) return nullptr;
    capacity = Capacity(head);
    return head + 1;
}

void ReleaseTextBuffer(void* buffer) noexcept {
    if (buffer) t_kept.offer(static_cast<BufferHead*>(buffer) - 1);
}

std::uint64_t KeptTextBufferBytes() noexcept {
    return g_keptBytes.load(std::memory_order_relaxed);
}

}  // namespace tqcore::parser
