#include "tqxml/xmlnode.h"

namespace tqcore {

const unsigned short* const CXML_TYPE_NAMES[4] = {
    reinterpret_cast<const unsigned short*>(u"CXML_TYPE_EMPTY"),
    reinterpret_cast<const unsigned short*>(u"CXML_TYPE_ELEMENT"),
    reinterpret_cast<const unsigned short*>(u"CXML_TYPE_DATA"),
    reinterpret_cast<const unsigned short*>(u"CXML_TYPE_PROCESS"),
};

}  // namespace tqcore
