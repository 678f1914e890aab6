#pragma once
// The document's private text buffer. Fresh pages cost a fault each on first
// touch, so every thread keeps its last released buffer of up to 64 MiB for
// the next open; one above 4 MiB goes back when the thread next opens a
// document of 4 MiB or less, larger ones at once, and the kept one at thread
// exit.
#include <cstddef>
#include <cstdint>

namespace tqcore::parser {

// A writable buffer of at least `size` bytes, or null with the reason left in
// GetLastError. Each call counts as one allocation for the failure seam,
// whether or not the kept buffer serves it.
void* AcquireTextBuffer(std::uint32_t size) noexcept;
// The buffer this thread keeps for its next AcquireTextBuffer, with its
// capacity in bytes; null when it keeps none. Its contents are the caller's
// scratch until then: a caller may fill it before it knows its size.
void* KeptTextBuffer(std::size_t& capacity) noexcept;
// Gives a buffer from AcquireTextBuffer back; null is ignored.
void ReleaseTextBuffer(void* buffer) noexcept;
// Bytes kept for later opens, over all threads.
std::uint64_t KeptTextBufferBytes() noexcept;

}  // namespace tqcore::parser
