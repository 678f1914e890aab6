// The texts of the parse error codes.
#include "tqxml/xmldoc.h"

namespace tqcore {

#define TQ_W(text) reinterpret_cast<const unsigned short*>(u##text)
const unsigned short* const CXML_ERROR_TEXTS[CXML_ERROR_COUNT] = {
    TQ_W("Undefined"),          TQ_W("End of file"),         TQ_W("Open comment"),
    TQ_W("Open string"),        TQ_W("Open enclosure"),      TQ_W("Invalid tag"),
    TQ_W("Bad attribute"),      TQ_W("Bad escape"),          TQ_W("External replacement"),
    TQ_W("Open CDATA section"), TQ_W("Bad data terminator"), TQ_W("Nesting error"),
    TQ_W("Version != 1.0"),     TQ_W("Bad termination tag"), TQ_W("Excessively mixed content"),
    TQ_W("Illegal character"),
};
#undef TQ_W

}  // namespace tqcore
