#pragma once
// XML character classes over single UTF-16 code units. Surrogates and
// U+D800..U+FFFF belong to no letter, digit, name or white-space class.
#include "tqxml/export.h"

namespace tqcore {

// One inclusive range of a class table; a single character has first == last.
struct XMLCHARRANGE {
    unsigned short first;
    unsigned short last;
};

// The class tables, sorted and without overlaps.
TQXML_API extern const XMLCHARRANGE XMLBaseCharRanges[202];
TQXML_API extern const XMLCHARRANGE XMLIdeographicRanges[3];
TQXML_API extern const XMLCHARRANGE XMLDigitRanges[15];
TQXML_API extern const XMLCHARRANGE XMLCombiningCharRanges[95];
TQXML_API extern const XMLCHARRANGE XMLExtenderRanges[11];

// Membership of `c` in a sorted table of `rows` ranges.
TQXML_API bool FindCharRange(const XMLCHARRANGE* table, unsigned int rows, unsigned short c);

TQXML_API bool IsXMLSpace(unsigned short c);
TQXML_API bool IsXMLNonSpace(unsigned short c);
TQXML_API bool IsXMLLineBreak(unsigned short c);
TQXML_API bool IsXMLTab(unsigned short c);
TQXML_API bool IsXMLBaseChar(unsigned short c);
TQXML_API bool IsXMLIdeographic(unsigned short c);
TQXML_API bool IsXMLLetter(unsigned short c);
TQXML_API bool IsXMLDigit(unsigned short c);
TQXML_API bool IsXMLCombiningChar(unsigned short c);
TQXML_API bool IsXMLExtender(unsigned short c);
TQXML_API bool IsXMLNameStartChar(unsigned short c);
TQXML_API bool IsXMLNameChar(unsigned short c);
TQXML_API bool IsXMLHexDigit(unsigned short c);
TQXML_API bool IsXMLMarkupChar(unsigned short c);

// How byte text is classified: a `char` is sign-extended (bytes from 0x80 up
// fall outside every name class), an `unsigned char` is taken as Latin-1.
inline unsigned short XMLUnitFromChar(char c) {
    return static_cast<unsigned short>(static_cast<short>(static_cast<signed char>(c)));
}
inline unsigned short XMLUnitFromByte(unsigned char c) {
    return c;
}

}  // namespace tqcore
