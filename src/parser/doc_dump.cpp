#include "module/log_and_retry.h"
#include "tqcore/diag.h"
#include "tqcore/log.h"
#include "tqcore/wtext.h"
#include "tqxml/xmldoc.h"
#include "tqxml/xmlout.h"

namespace tqcore {

void CXMLDoc::Dump() {
    // The plain sink stores nothing: with debug output on it echoes every
    // piece of text to the log.
    CXMLOut out(true);
    module::Log(module::kLogEcho, u"\r\n\n---XML Dump---\r\n");
    static unsigned short noTarget[] = {0};
    out.Open(noTarget, true);
    bool written = out.Write(m_Content);
    out.Close(!written);
}

}  // namespace tqcore
