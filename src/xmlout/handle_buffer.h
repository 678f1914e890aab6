#pragma once
// The write buffer that the file and handle sinks put in front of a handle.
#include <cstdint>

namespace tqcore::handlebuf {

constexpr std::uint64_t kBufferBytes = 16384;

// A buffer from the process heap, or null.
unsigned char* Alloc() noexcept;
void Free(unsigned char*& buffer) noexcept;

// Appends `bytes` to the buffer, flushing it first when they do not fit;
// pieces larger than the buffer (or any piece without one) go straight to the
// handle. True when every byte was taken.
bool Write(void* handle, unsigned char* buffer, std::uint64_t& buffered, const void* data,
           std::uint64_t bytes);
// Writes what the buffer holds. True when there is nothing or all of it
// went; on failure the buffer keeps its bytes.
bool Flush(void* handle, unsigned char* buffer, std::uint64_t& buffered);
// The file's size plus what still waits in the buffer.
std::uint64_t SizeWritten(void* handle, std::uint64_t buffered);

}  // namespace tqcore::handlebuf
