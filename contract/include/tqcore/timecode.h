#pragma once
// Timecode values and their text form "HH:MM:SS:FF"; a ';' before the
// frames ("HH:MM:SS;FF") marks drop-frame counting.
#include <cstdint>

#include "tqcore/export.h"

namespace tqcore {

// Hours 0-23, minutes and seconds 0-59, frames 0-59 (enough for 60 fps).
// The frame rate is not part of the value, so frame numbers that drop-frame
// counting skips are not refused.
class TQCORE_API timecode {
  public:
    static constexpr unsigned int kMaxHours = 23;
    static constexpr unsigned int kMaxMinutes = 59;
    static constexpr unsigned int kMaxSeconds = 59;
    static constexpr unsigned int kMaxFrames = 59;

    // Undefined.
    timecode() noexcept = default;
    // Undefined when a field is out of range.
    timecode(unsigned int hours, unsigned int minutes, unsigned int seconds, unsigned int frames,
             bool dropFrame = false) noexcept;

    // Non-zero for a defined timecode.
    int IsDefined() const noexcept { return m_fDefined ? 1 : 0; }
    unsigned int GetHours() const noexcept { return m_uHours; }
    unsigned int GetMinutes() const noexcept { return m_uMinutes; }
    unsigned int GetSeconds() const noexcept { return m_uSeconds; }
    unsigned int GetFrames() const noexcept { return m_uFrames; }
    bool IsDropFrame() const noexcept { return m_fDropFrame; }

    // Two undefined timecodes are equal.
    bool operator==(const timecode& other) const noexcept;
    bool operator!=(const timecode& other) const noexcept { return !(*this == other); }

  private:
    std::uint8_t m_uHours = 0;
    std::uint8_t m_uMinutes = 0;
    std::uint8_t m_uSeconds = 0;
    std::uint8_t m_uFrames = 0;
    bool m_fDropFrame = false;
    bool m_fDefined = false;
};

// A timecode with its narrow text. Built from wide text it parses exactly
// "HH:MM:SS:FF" or "HH:MM:SS;FF" (two digits per field, nothing around);
// anything else gives an undefined timecode. The text of an undefined
// timecode is null.
class TQCORE_API SZUTC {
  public:
    static constexpr unsigned int kTextLength = 11;

    explicit SZUTC(const unsigned short* text) noexcept;
    explicit SZUTC(const timecode& value) noexcept;

    operator timecode() const noexcept { return m_value; }
    operator const char*() const noexcept { return m_value.IsDefined() ? m_szText : nullptr; }

  private:
    timecode m_value;
    char m_szText[kTextLength + 1] = {};
};

// The wide text of an SZUTC; null for an undefined timecode.
class TQCORE_API SZUTCW {
  public:
    explicit SZUTCW(const SZUTC& value) noexcept;

    operator const unsigned short*() const noexcept { return m_fDefined ? m_szText : nullptr; }

  private:
    unsigned short m_szText[SZUTC::kTextLength + 1] = {};
    bool m_fDefined = false;
};

}  // namespace tqcore
