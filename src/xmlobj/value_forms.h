#pragma once
// The text form of each typed value: formatting for the writers, reading for
// the data, attribute and child readers. Null or empty text reads as the
// caller's default everywhere.
#include <cstdint>

#include "tqcore/guid.h"
#include "tqcore/pool.h"
#include "tqcore/timecode.h"
#include "tqcore/times.h"

namespace tqcore::valueforms {

// Units of the buffers of formatted and flag texts, terminator included.
constexpr unsigned int kFormatUnits = 2048;

// "%I64x(%.4g)": the double's bits, then its value for a human reader.
class EDoubleText {
  public:
    explicit EDoubleText(double value) noexcept;
    // Null when formatting failed.
    const unsigned short* c_str() const noexcept { return m_ok ? m_text : nullptr; }

  private:
    unsigned short m_text[32];
    bool m_ok;
};

// filetime::GetString in its 20-unit buffer.
class FileTimeText {
  public:
    explicit FileTimeText(const filetime& value) noexcept { value.GetString(m_text); }
    const unsigned short* c_str() const noexcept { return m_text; }

  private:
    unsigned short m_text[filetime::kTextSize];
};

// The timecode's text; null for an undefined one.
class TimecodeText {
  public:
    explicit TimecodeText(timecode value) noexcept : m_text(SZUTC(value)) {}
    const unsigned short* c_str() const noexcept { return m_text; }

  private:
    SZUTCW m_text;
};

// Two digits per byte, low nibble first, on the process heap.
class ByteText {
  public:
    ByteText(const unsigned char* bytes, unsigned int count) noexcept;
    ~ByteText();
    ByteText(const ByteText&) = delete;
    ByteText& operator=(const ByteText&) = delete;
    // Null when the buffer could not be had.
    const unsigned short* c_str() const noexcept { return m_text; }

  private:
    unsigned short* m_text;
};

const CPPoolString& BoolText(bool value) noexcept;

// swscanf of one integer conversion over the whole text; the fallback stays
// when nothing converts.
template <class Number>
Number ScanNumber(const unsigned short* text, const char16_t* format, Number fallback) noexcept;

double ReadEDouble(const unsigned short* text, double fallback) noexcept;
// Decimal text after its run of leading digits: '.' is read as is; the
// locale's separator `decimalSeparator` (and ',' when `commaAlways`) is read
// as '.'.
double ReadDecimal(const unsigned short* text, double fallback, unsigned short decimalSeparator,
                   bool commaAlways) noexcept;
bool ReadBool(const CPPoolString& text, bool fallback) noexcept;
timecode ReadTimecode(const unsigned short* text, timecode fallback) noexcept;
// Present text is parsed, with no fallback to the default.
CGUID ReadGUID(const CPPoolString& text, const CGUID& fallback) noexcept;
filetime ReadFileTime(const unsigned short* text, const filetime& fallback) noexcept;

// Byte pairs of the text: 0 for a character other than a hex digit or white
// space, or an odd length.
unsigned int CountBytePairs(const unsigned short* text) noexcept;
unsigned int ReadBytes(const unsigned short* text, unsigned char* buffer,
                       unsigned int size) noexcept;

}  // namespace tqcore::valueforms
