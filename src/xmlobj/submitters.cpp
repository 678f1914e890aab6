#include "tqplatform/codepage.h"
#include "tqxml/xmlsubmit.h"

namespace tqcore {

CCodePageStringSubmitter::CCodePageStringSubmitter(const char* source, unsigned int codePage)
    : m_pSource(source), m_uCodePage(codePage), m_uLength(0) {
    if (!source) return;
    int units = tqplat::MultiByteToWideChar(codePage, 0, source, -1, nullptr, 0);
    if (units > 0) m_uLength = static_cast<unsigned int>(units - 1);
}

bool CCodePageStringSubmitter::Submit(unsigned short* buffer) {
    if (!m_pSource || !buffer) return false;
    int wanted = static_cast<int>(m_uLength + 1);
    return tqplat::MultiByteToWideChar(m_uCodePage, 0, m_pSource, -1, buffer, wanted) == wanted;
}

CAnsiStringSubmitter::CAnsiStringSubmitter(const char* source)
    : CCodePageStringSubmitter(source, tqplat::CP_ACP) {}

CUtf8StringSubmitter::CUtf8StringSubmitter(const unsigned char* source)
    : CCodePageStringSubmitter(reinterpret_cast<const char*>(source), tqplat::CP_UTF8) {}

}  // namespace tqcore
