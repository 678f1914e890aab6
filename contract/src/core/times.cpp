#include "tqcore/times.h"

#include "hextext.h"

namespace tqcore {
namespace {

constexpr int kDigits = 16;

}  // namespace

unsigned int filetime::GetString(unsigned short* buffer) const noexcept {
    if (!buffer) return 0;
    *hextext::write(buffer, m_value, kDigits) = 0;
    return kDigits;
}

bool filetime::Parse(const unsigned short* text, filetime& out) noexcept {
    if (!text) return false;
    int digits = 0;
    while (digits <= kDigits && hextext::digitValue(text[digits]) >= 0) ++digits;
    if (digits == 0 || digits > kDigits || text[digits] != 0) return false;
    std::uint64_t value;
    hextext::read(text, digits, value);
    out.m_value = value;
    return true;
}

filetime& filetime::operator=(const unsigned short* text) noexcept {
    if (!Parse(text, *this)) m_value = 0;
    return *this;
}

}  // namespace tqcore
