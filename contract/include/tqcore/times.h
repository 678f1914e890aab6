#pragma once
// File times and media times.
#include <cstdint>

#include "tqcore/export.h"

namespace tqcore {

// A count of 100-ns intervals since 1601-01-01 UTC.
class TQCORE_API filetime {
  public:
    // Units a text buffer needs: at most 19 characters and the terminator.
    static constexpr unsigned int kTextSize = 20;

    filetime() noexcept : m_value(0) {}
    explicit filetime(std::uint64_t value) noexcept : m_value(value) {}

    std::uint64_t GetValue() const noexcept { return m_value; }

    // Writes the text (16 upper-case hexadecimal digits, so every value reads
    // back exactly) and its terminator into a buffer of kTextSize units.
    // Returns the number of characters; 0 for a null buffer.
    unsigned int GetString(unsigned short* buffer) const noexcept;

    // Reads 1 to 16 hexadecimal digits of either case, nothing else. Text
    // that does not parse (null included) gives 0.
    filetime& operator=(const unsigned short* text) noexcept;
    filetime& operator=(const char16_t* text) noexcept {
        return *this = reinterpret_cast<const unsigned short*>(text);
    }
    // The same, telling whether the text parsed; `out` is untouched when not.
    static bool Parse(const unsigned short* text, filetime& out) noexcept;

    bool operator==(const filetime& o) const noexcept { return m_value == o.m_value; }
    bool operator!=(const filetime& o) const noexcept { return m_value != o.m_value; }
    bool operator<(const filetime& o) const noexcept { return m_value < o.m_value; }

  private:
    std::uint64_t m_value;
};

// A media time: a point on a media time line, kept as a double.
class mtime {
  public:
    mtime(double value = 0.0) noexcept : m_value(value) {}
    operator double() const noexcept { return m_value; }

  private:
    double m_value;
};

}  // namespace tqcore
