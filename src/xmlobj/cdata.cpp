// Whether data text must go into CDATA to survive a reader that trims and
// collapses white space in data.
#include "tqxml/xmlnode.h"
#include "xmlobj/out_chars.h"

namespace tqcore {

bool CXMLObject::CDATARequired(const unsigned short* text) const noexcept {
    if (!text || !*text) return false;
    unsigned char previous = outchars::Classify(*text);
    if (previous != outchars::kPlain) return true;
    for (const unsigned short* p = text + 1; *p; ++p) {
        const unsigned char cls = outchars::Classify(*p);
        if (cls == outchars::kPlain) {
            previous = cls;
            continue;
        }
        // A lone space between other characters is the only markup-free
        // white space that reads back unchanged.
        if (cls != outchars::kSpace || previous == outchars::kSpace) return true;
        previous = cls;
    }
    return previous == outchars::kSpace;
}

}  // namespace tqcore
