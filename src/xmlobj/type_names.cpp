#include "tqcore/wtext.h"
#include "tqxml/xmlnode.h"

namespace tqcore {

const unsigned short* const CXML_TYPE_NAMES[4] = {
    W(u"CXML_TYPE_EMPTY"),
    W(u"CXML_TYPE_ELEMENT"),
    W(u"CXML_TYPE_DATA"),
    W(u"CXML_TYPE_PROCESS"),
};

}  // namespace tqcore
