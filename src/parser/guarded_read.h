#pragma once
// Reading caller memory that may not be readable: a bad page gives a failure
// result instead of a crash.
#include <cstddef>
#include <cstdint>

namespace tqcore::parser {

// Walks caller memory from a start address, checking each page before it is
// touched. Addresses are computed as integers with overflow checks, so any
// start value is safe, the top of the address space included.
class GuardedReader {
  public:
    explicit GuardedReader(const void* start) noexcept
        : m_start(reinterpret_cast<std::uintptr_t>(start)) {}

    // The byte at `offset`; false when its page cannot be read.
    bool Byte(std::size_t offset, unsigned char& value) noexcept;
    // Counts the units of `unitBytes` bytes (1 or 2) from `offset` up to the
    // first zero unit, at most `limit` of them. False when a page before the
    // zero cannot be read or no zero comes within `limit` units.
    bool Measure(std::size_t offset, unsigned int unitBytes, std::size_t limit,
                 std::size_t& units) noexcept;
    // Where the last failed check was, for the fault report.
    const void* FaultAddress() const noexcept { return reinterpret_cast<const void*>(m_fault); }

  private:
    // Makes sure [address, address + bytes) has been checked readable.
    bool ensure(std::uintptr_t address, std::size_t bytes) noexcept;
    // The start plus `offset`, or false when that passes the address space.
    bool at(std::size_t offset, std::uintptr_t& address) noexcept;

    std::uintptr_t m_start;
    std::uintptr_t m_readableEnd = 0;  // checked up to here; 0: nothing checked
    std::uintptr_t m_fault = 0;
};

}  // namespace tqcore::parser
