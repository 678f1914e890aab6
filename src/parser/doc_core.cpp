// CXMLDoc's life cycle: construction, copies, Close, the root accessors,
// the buffer and the dump of the tree.
#include "module/log_and_retry.h"
#include "parser/text_buffer.h"
#include "tqplatform/files.h"
#include "tqxml/xmldoc.h"
#include "tqxml/xmlout.h"

namespace tqcore {

CXMLDoc::CXMLDoc() noexcept
    : m_pBuffer(nullptr), m_uTextStart(0), m_uTextSize(0), m_pErrorPos(nullptr), m_uErrorCode(0) {}

// The buffer exists only inside an open call, so a copy never shares one.
CXMLDoc::CXMLDoc(const CXMLDoc& o) noexcept
    : m_pBuffer(nullptr),
      m_uTextStart(o.m_uTextStart),
      m_uTextSize(o.m_uTextSize),
      m_pErrorPos(o.m_pErrorPos),
      m_uErrorCode(o.m_uErrorCode),
      m_Content(o.m_Content) {}

CXMLDoc& CXMLDoc::operator=(const CXMLDoc& o) noexcept {
    if (this != &o) {
        releaseBuffer();
        m_uTextStart = o.m_uTextStart;
        m_uTextSize = o.m_uTextSize;
        m_pErrorPos = o.m_pErrorPos;
        m_uErrorCode = o.m_uErrorCode;
        m_Content = o.m_Content;
    }
    return *this;
}

CXMLDoc::~CXMLDoc() {
    releaseBuffer();
}

void CXMLDoc::Close() noexcept {
    discard();
}

CXMLObject CXMLDoc::GetContentElement() const noexcept {
    unsigned int count = 0;
    const CXMLObject* children = m_Content.GetElements(count);
    return children && count ? children[0] : CXMLObject();
}

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

void CXMLDoc::discard() noexcept {
    releaseBuffer();
    m_uTextStart = 0;
    m_uTextSize = 0;
    m_Content.Free();
}

void CXMLDoc::releaseBuffer() noexcept {
    parser::ReleaseTextBuffer(m_pBuffer);
    m_pBuffer = nullptr;
}

bool CXMLDoc::allocBuffer() noexcept {
    // The text plus one zero UTF-16 unit, which also ends byte text.
    if (m_uTextSize > 0xFFFFFFFFu - 2) {
        tqplat::SetLastError(tqplat::ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    const std::uint32_t size = m_uTextSize + 2;
    m_pBuffer = parser::AcquireTextBuffer(size);
    if (!m_pBuffer) return false;
    static_cast<unsigned char*>(m_pBuffer)[m_uTextSize] = 0;
    static_cast<unsigned char*>(m_pBuffer)[m_uTextSize + 1] = 0;
    return true;
}

std::uint64_t CXMLDoc::keptBufferBytes() noexcept {
    return parser::KeptTextBufferBytes();
}

}  // namespace tqcore
