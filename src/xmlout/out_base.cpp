// The base sink: text primitives, indentation, opening, closing and the
// timed, discarding write of a tree.
#include <algorithm>
#include <cstdarg>

#include "module/log_and_retry.h"
#include "module/reports.h"
#include "tqcore/diag.h"
#include "tqcore/log.h"
#include "tqcore/timing.h"
#include "tqplatform/memory.h"
#include "tqxml/xmlnode.h"
#include "tqxml/xmlout.h"

namespace tqcore {

namespace {

std::uint64_t TextLength(const unsigned short* text) {
    const unsigned short* end = text;
    while (*end) ++end;
    return static_cast<std::uint64_t>(end - text);
}

// The fixed texts every sink writes.
constexpr unsigned short kByteOrderMark[] = {0xFEFF, 0};
constexpr char16_t kDeclaration[] = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n";
constexpr unsigned int kDeclarationChars = sizeof(kDeclaration) / sizeof(char16_t) - 1;
constexpr char16_t kLineEnd[] = u"\r\n";
static_assert(kDeclarationChars == 41, "the declaration is 41 characters with its line end");

// The log takes one bounded piece at a time.
constexpr int kLogChunkChars = 65536;

}  // namespace

// Defined here so that the library exports it: callers that take its address
// import it from the DLL.
const unsigned int CXMLOut::kIndentChars;

CXMLOut::CXMLOut(bool format)
    : m_pIndentBuf(static_cast<unsigned short*>(
          tqplat::HeapAlloc(tqplat::GetProcessHeap(), 0, kIndentChars * sizeof(unsigned short)))),
      m_fLineStart(true),
      m_fFormat(format),
      m_uIndent(0),
      m_fOpened(0),
      m_fWritten(0),
      m_fWriteFailed(false) {
    if (m_pIndentBuf)
        std::fill(m_pIndentBuf, m_pIndentBuf + kIndentChars, static_cast<unsigned short>(' '));
}

CXMLOut::~CXMLOut() {
    if (m_fOpened) closeOnDestruction(true);
    if (m_pIndentBuf) tqplat::HeapFree(tqplat::GetProcessHeap(), 0, m_pIndentBuf);
}

void CXMLOut::closeOnDestruction(bool report) {
    if (report) reports::Assumption(reports::kXmlOut, "!m_fOpened", __LINE__, __PRETTY_FUNCTION__);
    if (closeOutput(true)) {
        m_fOpened = 0;
        m_fWritten = 0;
    }
}

void CXMLOut::Indent() noexcept {
    // The level saturates rather than wrap its 30 bits.
    if (m_fFormat && m_uIndent < (1u << 30) - 1) ++m_uIndent;
}

void CXMLOut::Unindent() noexcept {
    if (m_fFormat && m_uIndent > 0) --m_uIndent;
}

void CXMLOut::writeIndent() {
    if (m_fFormat && m_uIndent != 0 && m_pIndentBuf)
        writeOutput(m_pIndentBuf, std::min<std::uint32_t>(m_uIndent, kIndentChars));
    m_fLineStart = false;
}

bool CXMLOut::Write(const unsigned short* format, ...) {
    if (!format || !*format) return true;
    beginPiece();
    va_list args;
    va_start(args, format);
    const unsigned short* run = format;
    const unsigned short* p = format;
    while (*p) {
        if (p[0] == '%' && p[1] == 'l' && p[2] == 's') {
            if (p != run) writeOutput(run, static_cast<std::uint64_t>(p - run));
            if (const unsigned short* arg = va_arg(args, const unsigned short*)) {
                const std::uint64_t n = TextLength(arg);
                if (n) writeOutput(arg, n);
            }
            p += 3;
            run = p;
        } else {
            ++p;
        }
    }
    va_end(args);
    if (p != run) writeOutput(run, static_cast<std::uint64_t>(p - run));
    return true;
}

bool CXMLOut::WriteTo(const unsigned short* from, const unsigned short* to) {
    if (!from || to <= from) return true;
    beginPiece();
    writeOutput(from, static_cast<std::uint64_t>(to - from));
    return true;
}

bool CXMLOut::eol() {
    if (m_fFormat && !writeOutput(W(kLineEnd), 2)) return false;
    m_fLineStart = true;
    return true;
}

bool CXMLOut::writeDocumentStart(bool declaration) {
    bool taken = writeOutput(kByteOrderMark, 1);
    if (declaration && writeOutput(W(kDeclaration), kDeclarationChars)) taken = true;
    return taken;
}

bool CXMLOut::openOutput(void* target) {
    // A new output starts without failures.
    m_fWriteFailed = false;
    return noteResult(OpenPhys(target));
}

bool CXMLOut::writeOutput(const unsigned short* text, std::uint64_t count) {
    return noteResult(WritePhys(text, count));
}

bool CXMLOut::flushOutput() {
    return noteResult(FlushPhys());
}

bool CXMLOut::closeOutput(bool discard) {
    return noteResult(ClosePhys(discard));
}

bool CXMLOut::Open(void* target, bool declaration) {
    if (!openOutput(target)) return false;
    if (writeDocumentStart(declaration)) {
        m_fOpened = 1;
        m_fWritten = 0;
        return true;
    }
    reports::IllegalCode(reports::kXmlOut, "CXMLOut::Open failed", __LINE__, __PRETTY_FUNCTION__);
    closeOutput(true);
    return false;
}

bool CXMLOut::Close(bool discard) {
    if (!m_fOpened) return false;
    if (!discard) flushOutput();
    const bool closed = closeOutput(discard);
    if (closed) {
        m_fOpened = 0;
        m_fWritten = 0;
    }
    return closed;
}

bool CXMLOut::Write(const CXMLObject& tree) {
    const bool opened = TQXMLOUT_CHECK(m_fOpened == 1, "m_fOpened == 1");
    const bool fresh = TQXMLOUT_CHECK(m_fWritten == 0, "m_fWritten == 0");
    if (!opened || !fresh) return false;

    CHFLapse timer(false);
    timer.Start();
    if (!tree._writeout(*this)) {
        if (closeOutput(true)) {
            m_fOpened = 0;
            m_fWritten = 0;
        }
        return false;
    }
    timer.Stop();
    module::LogTiming(u"XMLOut::Write: Write", static_cast<double>(timer), GetSizeWritten());
    return true;
}

bool CXMLOut::OpenPhys(void*) {
    return true;
}

bool CXMLOut::ClosePhys(bool) {
    return true;
}

bool CXMLOut::WritePhys(const unsigned short* text, std::uint64_t count) {
    if (!IsDebugOn()) return true;
    while (count > 0) {
        const int piece = static_cast<int>(std::min<std::uint64_t>(count, kLogChunkChars));
        wPrintf(module::kLogEcho.first, module::kLogEcho.second, W(u"%.*s"), piece, text);
        text += piece;
        count -= static_cast<std::uint64_t>(piece);
    }
    return true;
}

bool CXMLOut::FlushPhys() {
    return true;
}

std::uint64_t CXMLOut::GetSizeWritten() {
    return 0;
}

}  // namespace tqcore
