#pragma once
// Reading caller memory that may not be readable: a bad page gives a failure
// result instead of a crash.
#include <cstddef>
#include <cstdint>

namespace tqcore::parser {

// Walks caller memory from a start address, checking each page before it is
// touched.
class GuardedReader {
  public:
    explicit GuardedReader(const void* start) noexcept
        : m_pStart(static_cast<const unsigned char*>(start)) {}

    // The byte at `offset`; false when its page cannot be read.
    bool Byte(std::size_t offset, unsigned char& value) noexcept;
    // Counts the units of `unitBytes` bytes (1 or 2) from `offset` up to the
    // first zero unit, at most `limit` of them. False when a page before the
    // zero cannot be read or no zero comes within `limit` units.
    bool Measure(std::size_t offset, unsigned int unitBytes, std::size_t limit,
                 std::size_t& units) noexcept;
    // Where the last failed check was, for the fault report.
    const void* FaultAddress() const noexcept { return m_pFault; }

  private:
    // Makes sure [address, address + bytes) has been checked readable.
    bool ensure(const unsigned char* address, std::size_t bytes) noexcept;

    const unsigned char* m_pStart;
    const unsigned char* m_pReadableEnd = nullptr;  // checked up to here
    const unsigned char* m_pFault = nullptr;
};

}  // namespace tqcore::parser
