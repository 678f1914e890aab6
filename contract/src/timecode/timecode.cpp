// Timecode values and their text form.
#include "tqcore/timecode.h"

namespace tqcore {
namespace {

constexpr char kSeparator = ':';
constexpr char kDropFrameSeparator = ';';

// Two decimal digits, or -1.
int twoDigits(const unsigned short* text) {
    if (text[0] < '0' || text[0] > '9' || text[1] < '0' || text[1] > '9') return -1;
    return (text[0] - '0') * 10 + (text[1] - '0');
}

void putTwoDigits(char* out, unsigned int value) {
    out[0] = static_cast<char>('0' + value / 10);
    out[1] = static_cast<char>('0' + value % 10);
}

// Parses "HH:MM:SS:FF" or "HH:MM:SS;FF", nothing before or after.
timecode parse(const unsigned short* text) {
    if (text == nullptr) return timecode();
    // Checking each unit before reading the next keeps a short text from
    // being read past its terminator.
    int fields[4];
    bool dropFrame = false;
    for (unsigned int i = 0; i < 4; ++i) {
        const unsigned short* at = text + i * 3;
        fields[i] = twoDigits(at);
        if (fields[i] < 0) return timecode();
        const unsigned short after = at[2];
        if (i < 2 && after != kSeparator) return timecode();
        if (i == 2) {
            if (after == kDropFrameSeparator) {
                dropFrame = true;
            } else if (after != kSeparator) {
                return timecode();
            }
        }
        if (i == 3 && after != 0) return timecode();
    }
    return timecode(fields[0], fields[1], fields[2], fields[3], dropFrame);
}

}  // namespace

timecode::timecode(unsigned int hours, unsigned int minutes, unsigned int seconds,
                   unsigned int frames, bool dropFrame) noexcept {
    if (hours > kMaxHours || minutes > kMaxMinutes || seconds > kMaxSeconds || frames > kMaxFrames)
        return;
    m_uHours = static_cast<std::uint8_t>(hours);
    m_uMinutes = static_cast<std::uint8_t>(minutes);
    m_uSeconds = static_cast<std::uint8_t>(seconds);
    m_uFrames = static_cast<std::uint8_t>(frames);
    m_fDropFrame = dropFrame;
    m_fDefined = true;
}

bool timecode::operator==(const timecode& other) const noexcept {
    if (!m_fDefined || !other.m_fDefined) return m_fDefined == other.m_fDefined;
    return m_uHours == other.m_uHours && m_uMinutes == other.m_uMinutes &&
           m_uSeconds == other.m_uSeconds && m_uFrames == other.m_uFrames &&
           m_fDropFrame == other.m_fDropFrame;
}

SZUTC::SZUTC(const unsigned short* text) noexcept : SZUTC(parse(text)) {}

SZUTC::SZUTC(const timecode& value) noexcept : m_value(value) {
    if (!value.IsDefined()) return;
    putTwoDigits(m_szText, value.GetHours());
    m_szText[2] = kSeparator;
    putTwoDigits(m_szText + 3, value.GetMinutes());
    m_szText[5] = kSeparator;
    putTwoDigits(m_szText + 6, value.GetSeconds());
    m_szText[8] = value.IsDropFrame() ? kDropFrameSeparator : kSeparator;
    putTwoDigits(m_szText + 9, value.GetFrames());
    m_szText[kTextLength] = 0;
}

SZUTCW::SZUTCW(const SZUTC& value) noexcept {
    const char* text = value;
    if (text == nullptr) return;
    for (unsigned int i = 0; i < SZUTC::kTextLength; ++i)
        m_szText[i] = static_cast<unsigned char>(text[i]);
    m_fDefined = true;
}

}  // namespace tqcore
