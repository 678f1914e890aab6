#pragma once
// A growable byte stream in memory, read and written like a file. The content
// lies in fixed-size blocks, so growing never copies what was written.
#include <cstddef>
#include <cstdint>

#include "tqcore/export.h"
#include "tqcore/memory.h"

namespace tqcore {

class TQCORE_API CPFMemoryStream {
  public:
    // Bytes per content block.
    static constexpr std::size_t kBlockSize = 8192;

    CPFMemoryStream() noexcept;
    ~CPFMemoryStream();
    CPFMemoryStream(const CPFMemoryStream&) = delete;
    CPFMemoryStream& operator=(const CPFMemoryStream&) = delete;

    // Opens with `access`: GENERIC_READ (0x80000000), GENERIC_WRITE
    // (0x40000000) or both. `keepContent` false starts empty; true keeps what
    // an earlier opening left. The position starts at 0. False when the
    // stream is open already or the access grants neither reading nor writing.
    bool Open(std::uint32_t access, bool keepContent) noexcept;
    // Ends access; the content stays for Store, GetSize or a later Open.
    void Close() noexcept;
    // Discards the content; the position goes back to 0.
    void Delete() noexcept;
    bool IsOpen() const noexcept { return m_dwAccess != 0; }

    // Writes all `size` bytes at the position, overwriting and extending, and
    // advances. The bytes written, or 0 (nothing written) when the stream is
    // not open for writing, `data` is null, `size` is 0 or memory runs out.
    std::size_t Write(const void* data, std::size_t size) noexcept;
    // Reads up to `size` bytes from the position and advances. The bytes read;
    // 0 at the end, or when not open for reading or `buffer` is null.
    std::size_t Read(void* buffer, std::size_t size) noexcept;
    // Moves the position to `offset` from the start (method 0), the position
    // (1) or the end (2). The new position, or -1 (position unchanged) when
    // the stream is not open, the method is unknown or the result would lie
    // before the start or after the end.
    std::int64_t SetPointer(std::int64_t offset, std::uint32_t method) noexcept;
    std::uint64_t GetPointer() const noexcept { return m_qwPos; }
    std::uint64_t GetSize() const noexcept { return m_qwSize; }

    // Copies the whole content into a new block of `mem` (open or closed
    // stream). An empty stream, or no memory, frees `mem` and gives false.
    bool Store(CPMemory& mem) const noexcept;

  private:
    bool reserve(std::uint64_t size) noexcept;

    unsigned char** m_ppBlocks;  // content blocks, each kBlockSize bytes
    std::size_t m_sBlocks;       // blocks allocated
    std::size_t m_sSlots;        // room in the block table
    std::uint64_t m_qwSize;
    std::uint64_t m_qwPos;
    std::uint32_t m_dwAccess;  // 0 while closed
};

}  // namespace tqcore
