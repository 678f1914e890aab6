#include "xmlout/handle_buffer.h"

#include <algorithm>
#include <cstring>

#include "tqplatform/files.h"
#include "tqplatform/memory.h"

namespace tqcore::handlebuf {
namespace {

// WriteFile counts in 32 bits; larger pieces go in several calls.
constexpr std::uint64_t kMaxDirectWrite = 0x40000000u;

bool WriteAll(void* handle, const unsigned char* data, std::uint64_t bytes) {
    while (bytes > 0) {
        const auto piece = static_cast<std::uint32_t>(std::min(bytes, kMaxDirectWrite));
        std::uint32_t written = 0;
        if (!tqplat::WriteFile(handle, data, piece, &written, nullptr) || written != piece)
            return false;
        data += piece;
        bytes -= piece;
    }
    return true;
}

}  // namespace

unsigned char* Alloc() noexcept {
    return static_cast<unsigned char*>(
        tqplat::HeapAlloc(tqplat::GetProcessHeap(), 0, kBufferBytes));
}

void Free(unsigned char*& buffer) noexcept {
    if (buffer) tqplat::HeapFree(tqplat::GetProcessHeap(), 0, buffer);
    buffer = nullptr;
}

bool Write(void* handle, unsigned char* buffer, std::uint64_t& buffered, const void* data,
           std::uint64_t bytes) {
    if (buffer) {
        if (buffered + bytes <= kBufferBytes) {
            std::memcpy(buffer + buffered, data, bytes);
            buffered += bytes;
            return true;
        }
        if (!Flush(handle, buffer, buffered)) return false;
        if (bytes <= kBufferBytes) {
            std::memcpy(buffer, data, bytes);
            buffered = bytes;
            return true;
        }
    }
    return WriteAll(handle, static_cast<const unsigned char*>(data), bytes);
}

bool Flush(void* handle, unsigned char* buffer, std::uint64_t& buffered) {
    if (!buffer || buffered == 0) return true;
    // A failed flush keeps its bytes: every later write that needs room
    // tries again and fails as well, so the failure reaches a line end.
    if (!WriteAll(handle, buffer, buffered)) return false;
    buffered = 0;
    return true;
}

std::uint64_t SizeWritten(void* handle, std::uint64_t buffered) {
    std::int64_t size = 0;
    if (!tqplat::GetFileSizeEx(handle, &size) || size < 0) size = 0;
    return static_cast<std::uint64_t>(size) + buffered;
}

}  // namespace tqcore::handlebuf
