// The texts of the parse error codes.
#include "tqcore/wtext.h"
#include "tqxml/xmldoc.h"

namespace tqcore {

const unsigned short* const CXML_ERROR_TEXTS[CXML_ERROR_COUNT] = {
    W(u"Undefined"),          W(u"End of file"),         W(u"Open comment"),
    W(u"Open string"),        W(u"Open enclosure"),      W(u"Invalid tag"),
    W(u"Bad attribute"),      W(u"Bad escape"),          W(u"External replacement"),
    W(u"Open CDATA section"), W(u"Bad data terminator"), W(u"Nesting error"),
    W(u"Version != 1.0"),     W(u"Bad termination tag"), W(u"Excessively mixed content"),
    W(u"Illegal character"),
};

}  // namespace tqcore
