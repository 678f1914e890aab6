#pragma once
// The document's private text buffer. Fresh pages cost a fault each on first
// touch, so every thread keeps its last released buffer for the next open.
#include <cstdint>

namespace tqcore::parser {

// A writable buffer of at least `size` bytes, or null with the reason left in
// GetLastError.
void* AcquireTextBuffer(std::uint32_t size) noexcept;
// Gives a buffer from AcquireTextBuffer back; null is ignored.
void ReleaseTextBuffer(void* buffer) noexcept;

}  // namespace tqcore::parser
