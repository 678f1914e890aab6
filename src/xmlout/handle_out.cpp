// The handle sink: a caller's file handle, buffered; it is never closed, and
// discarding empties the file.
#include "module/reports.h"
#include "tqplatform/files.h"
#include "tqxml/xmlout.h"
#include "xmlout/handle_buffer.h"

namespace tqcore {

using tqplat::INVALID_HANDLE_VALUE;

CXMLHandleOut::CXMLHandleOut(bool format)
    : CXMLOut(format), m_hFile(INVALID_HANDLE_VALUE), m_pBuf(nullptr), m_sBuffered(0) {}

CXMLHandleOut::~CXMLHandleOut() {
    if (isOpened()) closeOnDestruction(true);
}

bool CXMLHandleOut::Open(void* handle) {
    return CXMLOut::Open(handle, true);
}

bool CXMLHandleOut::OpenPhys(void* target) {
    ClosePhys(true);
    m_hFile = target;
    if (m_hFile == INVALID_HANDLE_VALUE) return false;
    m_pBuf = handlebuf::Alloc();
    m_sBuffered = 0;
    return true;
}

bool CXMLHandleOut::ClosePhys(bool discard) {
    if (m_hFile == INVALID_HANDLE_VALUE) return true;
    if (discard) {
        tqplat::SetFilePointer(m_hFile, 0, nullptr, tqplat::FILE_BEGIN);
        tqplat::SetEndOfFile(m_hFile);
    }
    handlebuf::Free(m_pBuf);
    m_hFile = INVALID_HANDLE_VALUE;
    m_sBuffered = 0;
    return true;
}

bool CXMLHandleOut::WritePhys(const unsigned short* text, std::uint64_t count) {
    if (!TQXMLOUT_CHECK(m_hFile != INVALID_HANDLE_VALUE, "m_hFile != INVALID_HANDLE_VALUE"))
        return false;
    if (count == 0) return true;
    return handlebuf::Write(m_hFile, m_pBuf, m_sBuffered, text, count * sizeof(unsigned short));
}

bool CXMLHandleOut::FlushPhys() {
    if (m_hFile == INVALID_HANDLE_VALUE) return false;
    return handlebuf::Flush(m_hFile, m_pBuf, m_sBuffered);
}

std::uint64_t CXMLHandleOut::GetSizeWritten() {
    if (m_hFile == INVALID_HANDLE_VALUE) return 0;
    return handlebuf::SizeWritten(m_hFile, m_sBuffered);
}

}  // namespace tqcore
