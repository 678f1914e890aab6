// Formatting and reading of the typed value text forms.
#include "xmlobj/value_forms.h"

#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>

#include "module/module.h"
#include "tqcore/wtext.h"
#include "tqplatform/memory.h"
#include "tqplatform/wformat.h"
#include "tqxml/xmlcharclass.h"

namespace tqcore::valueforms {
namespace {

unsigned int HexValue(unsigned short c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

const unsigned short* SkipSpace(const unsigned short* p) noexcept {
    while (*p && IsXMLSpace(*p)) ++p;
    return p;
}

double ScanDouble(const unsigned short* text, double fallback) noexcept {
    double value = fallback;
    tqplat::_swscanf_l(text, W(u"%lg"), module::EnglishLocale(), &value);
    return value;
}

}  // namespace

EDoubleText::EDoubleText(double value) noexcept {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int written =
        tqplat::_snwprintf_l(m_text, sizeof m_text / sizeof *m_text, W(u"%I64x(%.4g)"),
                             module::EnglishLocale(), bits, value);
    m_ok = written >= 0 && static_cast<unsigned int>(written) < sizeof m_text / sizeof *m_text;
}

ByteText::ByteText(const unsigned char* bytes, unsigned int count) noexcept
    : m_text(static_cast<unsigned short*>(tqplat::HeapAlloc(
          tqplat::GetProcessHeap(), 0, (2 * std::size_t{count} + 1) * sizeof(unsigned short)))) {
    if (!m_text) return;
    static const char digits[] = "0123456789ABCDEF";
    unsigned short* out = m_text;
    for (unsigned int i = 0; i < count; ++i) {
        *out++ = digits[bytes[i] & 0xF];
        *out++ = digits[bytes[i] >> 4];
    }
    *out = 0;
}

ByteText::~ByteText() {
    if (m_text) tqplat::HeapFree(tqplat::GetProcessHeap(), 0, m_text);
}

const CPPoolString& BoolText(bool value) noexcept {
    return value ? module::TrueString() : module::FalseString();
}

template <class Number>
Number ScanNumber(const unsigned short* text, const char16_t* format, Number fallback) noexcept {
    Number value = fallback;
    if (text && *text) tqplat::_swscanf_l(text, W(format), module::EnglishLocale(), &value);
    return value;
}
template int ScanNumber(const unsigned short*, const char16_t*, int) noexcept;
template unsigned int ScanNumber(const unsigned short*, const char16_t*, unsigned int) noexcept;
template std::int64_t ScanNumber(const unsigned short*, const char16_t*, std::int64_t) noexcept;
template std::uint64_t ScanNumber(const unsigned short*, const char16_t*, std::uint64_t) noexcept;

double ReadEDouble(const unsigned short* text, double fallback) noexcept {
    std::uint64_t bits;
    std::memcpy(&bits, &fallback, sizeof bits);
    bits = ScanNumber(text, u"%I64x", bits);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double ReadDecimal(const unsigned short* text, double fallback, unsigned short decimalSeparator,
                   bool commaAlways) noexcept {
    if (!text || !*text) return fallback;
    const unsigned short* p = text;
    while (IsXMLDigit(*p)) ++p;
    if (*p == '.' || !(*p == decimalSeparator || (commaAlways && *p == ','))) {
        return ScanDouble(text, fallback);
    }
    // The separator becomes '.' in a copy, so the scan reads the fraction.
    std::size_t length = 0;
    while (text[length]) ++length;
    std::unique_ptr<unsigned short[]> copy(new (std::nothrow) unsigned short[length + 1]);
    if (!copy) return fallback;
    std::memcpy(copy.get(), text, (length + 1) * sizeof(unsigned short));
    copy[p - text] = '.';
    return ScanDouble(copy.get(), fallback);
}

bool ReadBool(const CPPoolString& text, bool fallback) noexcept {
    if (text.iequals(module::TrueString())) return true;
    if (text.iequals(module::FalseString())) return false;
    return fallback;
}

timecode ReadTimecode(const unsigned short* text, timecode fallback) noexcept {
    if (!text || !*text) return fallback;
    const timecode value = SZUTC(text);
    return value.IsDefined() ? value : fallback;
}

CGUID ReadGUID(const CPPoolString& text, const CGUID& fallback) noexcept {
    if (!text) return fallback;
    CGUID value;
    value = text;
    return value;
}

filetime ReadFileTime(const unsigned short* text, const filetime& fallback) noexcept {
    if (!text || !*text) return fallback;
    filetime value;
    value = text;
    return value;
}

unsigned int CountBytePairs(const unsigned short* text) noexcept {
    if (!text) return 0;
    unsigned int pairs = 0;
    for (const unsigned short* p = text; *p; p += 2, ++pairs) {
        for (const unsigned short c : {p[0], p[1]}) {
            if (!IsXMLHexDigit(c) && !IsXMLSpace(c)) return 0;  // a lone last character too
        }
    }
    return pairs;
}

unsigned int ReadBytes(const unsigned short* text, unsigned char* buffer,
                       unsigned int size) noexcept {
    if (!text || !buffer) return 0;
    unsigned int count = 0;
    const unsigned short* p = text;
    while (count < size) {
        p = SkipSpace(p);
        if (!IsXMLHexDigit(*p)) break;
        buffer[count] = static_cast<unsigned char>(HexValue(*p++));
        p = SkipSpace(p);
        if (!IsXMLHexDigit(*p)) break;
        buffer[count] = static_cast<unsigned char>(buffer[count] | HexValue(*p++) << 4);
        ++count;
    }
    return count;
}

}  // namespace tqcore::valueforms
