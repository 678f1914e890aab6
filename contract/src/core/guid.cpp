#include "tqcore/guid.h"

#include "hextext.h"

namespace tqcore {
namespace {

// Digit groups of the text form, in order: Data1, Data2, Data3, then Data4
// as 2 and 6 bytes.
constexpr int kGroupDigits[] = {8, 4, 4, 4, 12};

}  // namespace

bool CGUID::Parse(const unsigned short* text, GUID& out) noexcept {
    if (!text) return false;
    const bool braced = *text == '{';
    if (braced) ++text;
    std::uint64_t group[5];
    for (int i = 0; i < 5; ++i) {
        if (i > 0 && *text++ != '-') return false;
        if (!hextext::read(text, kGroupDigits[i], group[i])) return false;
    }
    if (braced && *text++ != '}') return false;
    if (*text != 0) return false;
    out.Data1 = static_cast<std::uint32_t>(group[0]);
    out.Data2 = static_cast<std::uint16_t>(group[1]);
    out.Data3 = static_cast<std::uint16_t>(group[2]);
    out.Data4[0] = static_cast<std::uint8_t>(group[3] >> 8);
    out.Data4[1] = static_cast<std::uint8_t>(group[3]);
    for (int i = 0; i < 6; ++i)
        out.Data4[2 + i] = static_cast<std::uint8_t>(group[4] >> (8 * (5 - i)));
    return true;
}

CGUID& CGUID::operator=(const unsigned short* text) noexcept {
    if (!Parse(text, *this)) *this = GUID_NULL;
    return *this;
}

CPPoolString CGUID::GetString() const {
    std::uint64_t tail = 0;
    for (int i = 2; i < 8; ++i) tail = tail << 8 | Data4[i];
    const std::uint64_t group[5] = {Data1, Data2, Data3, std::uint64_t(Data4[0]) << 8 | Data4[1],
                                    tail};
    unsigned short text[kTextLength + 1];
    unsigned short* out = text;
    *out++ = '{';
    for (int i = 0; i < 5; ++i) {
        if (i > 0) *out++ = '-';
        out = hextext::write(out, group[i], kGroupDigits[i]);
    }
    *out++ = '}';
    *out = 0;
    return CStringPool::GetStringRefn(text, kTextLength);
}

}  // namespace tqcore
