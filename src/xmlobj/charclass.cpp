// Character class predicates with fast paths for the common ranges, and the
// name rule with the renaming operations that check it.
#include <cstddef>

#include "tqxml/xmlcharclass.h"
#include "tqxml/xmlnode.h"

namespace tqcore {
namespace {

constexpr unsigned int kLatinBaseRows = 5;  // rows of XMLBaseCharRanges below U+0100
constexpr unsigned int kAsciiDigitRows = 1;
constexpr unsigned int kLatinExtenderRows = 1;

template <std::size_t N>
constexpr unsigned int Rows(const XMLCHARRANGE (&)[N]) {
    return static_cast<unsigned int>(N);
}

template <class Unit, class Widen>
bool FollowsNameRule(const Unit* name, Widen widen) noexcept {
    if (!name || !*name || !IsXMLNameStartChar(widen(*name))) return false;
    for (const Unit* p = name + 1; *p; ++p)
        if (!IsXMLNameChar(widen(*p))) return false;
    return true;
}

}  // namespace

bool FindCharRange(const XMLCHARRANGE* table, unsigned int rows, unsigned short c) {
    // First row whose last is not below c.
    unsigned int lo = 0, hi = rows;
    while (lo < hi) {
        unsigned int mid = lo + (hi - lo) / 2;
        if (table[mid].last < c)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < rows && table[lo].first <= c;
}

bool IsXMLSpace(unsigned short c) {
    return c == 0x20 || c == 0x0A || c == 0x0D || c == 0x09;
}
bool IsXMLNonSpace(unsigned short c) {
    return !IsXMLSpace(c);
}
bool IsXMLLineBreak(unsigned short c) {
    return c == 0x0A || c == 0x0D;
}
bool IsXMLTab(unsigned short c) {
    return c == 0x09;
}

bool IsXMLBaseChar(unsigned short c) {
    if (c < 0x100) return FindCharRange(XMLBaseCharRanges, kLatinBaseRows, c);
    return FindCharRange(XMLBaseCharRanges + kLatinBaseRows,
                         Rows(XMLBaseCharRanges) - kLatinBaseRows, c);
}

bool IsXMLIdeographic(unsigned short c) {
    return (c >= 0x4E00 && c <= 0x9FA5) || c == 0x3007 || (c >= 0x3021 && c <= 0x3029);
}

bool IsXMLLetter(unsigned short c) {
    return IsXMLBaseChar(c) || IsXMLIdeographic(c);
}

bool IsXMLDigit(unsigned short c) {
    if (c < 0x100) return c >= '0' && c <= '9';
    return FindCharRange(XMLDigitRanges + kAsciiDigitRows, Rows(XMLDigitRanges) - kAsciiDigitRows,
                         c);
}

bool IsXMLCombiningChar(unsigned short c) {
    if (c < 0x300) return false;
    return FindCharRange(XMLCombiningCharRanges, Rows(XMLCombiningCharRanges), c);
}

bool IsXMLExtender(unsigned short c) {
    if (c < 0x2D0) return c == 0xB7;
    return FindCharRange(XMLExtenderRanges + kLatinExtenderRows,
                         Rows(XMLExtenderRanges) - kLatinExtenderRows, c);
}

bool IsXMLNameStartChar(unsigned short c) {
    return IsXMLLetter(c) || c == '_' || c == ':';
}

bool IsXMLNameChar(unsigned short c) {
    return IsXMLLetter(c) || c == '.' || c == '-' || c == '_' || c == ':' || IsXMLDigit(c) ||
           IsXMLCombiningChar(c) || IsXMLExtender(c);
}

bool IsXMLHexDigit(unsigned short c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsXMLMarkupChar(unsigned short c) {
    return c == '&' || c == '<' || c == '>' || c == '"' || c == '\'';
}

bool CXMLObject::IsValidName(const char* name) const noexcept {
    return FollowsNameRule(name, XMLUnitFromChar);
}

bool CXMLObject::IsValidName(const unsigned short* name) const noexcept {
    return FollowsNameRule(name, [](unsigned short c) { return c; });
}

bool CXMLObject::SetName(const CPPoolString& name) {
    return IsValidName(static_cast<const unsigned short*>(name)) &&
           setNameType(name, CXML_TYPE_EMPTY);
}

bool CXMLObject::SetNameType(const CPPoolString& name, unsigned int /*type*/) {
    return SetName(name);
}

bool CXMLObject::Rename(const CPPoolString& name) {
    if (!m_pO || !IsValidName(static_cast<const unsigned short*>(name))) return false;
    m_pO->m_Name = name;
    return true;
}

}  // namespace tqcore
