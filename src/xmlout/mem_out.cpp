// The memory sink: unformatted text in a block that grows in 4096-byte steps,
// and the XML text of a node made with it.
#include <cstring>

#include "module/reports.h"
#include "tqcore/heap.h"
#include "tqxml/xmlnode.h"
#include "tqxml/xmlout.h"

namespace tqcore {

namespace {

constexpr std::uint64_t kGrowStep = 4096;
constexpr std::uint64_t kCloseGrowth = 16;

}  // namespace

CXMLMemOut::CXMLMemOut() : CXMLOut(false), m_pMem(nullptr), m_sSize(0), m_sAllocSize(0) {}

CXMLMemOut::~CXMLMemOut() {
    if (isOpened()) closeOnDestruction(false);
    Free();
}

bool CXMLMemOut::Open() {
    return CXMLOut::Open(nullptr, false);
}

bool CXMLMemOut::OpenPhys(void*) {
    ClosePhys(true);
    Free();
    m_pMem = static_cast<unsigned short*>(_falloc(kGrowStep));
    if (!m_pMem) return false;
    m_sAllocSize = kGrowStep;
    return true;
}

bool CXMLMemOut::WritePhys(const unsigned short* text, std::uint64_t count) {
    TQXMLOUT_CHECK(m_pMem != nullptr, "m_pMem != NULL");
    TQXMLOUT_CHECK(m_sSize % sizeof(unsigned short) == 0, "(m_sSize % sizeof(wchar_t)) == 0");
    // Without a block (after Free) the allocation size is 0: nothing to write into.
    if (count == 0 || text[0] == 0 || m_sAllocSize == 0) return true;
    const std::uint64_t bytes = count * sizeof(unsigned short);
    const std::uint64_t needed = m_sSize + bytes;
    if (needed > m_sAllocSize) {
        const std::uint64_t grown = (needed / kGrowStep + 1) * kGrowStep;
        void* block = _frealloc(m_pMem, grown);
        if (!block) return false;
        m_pMem = static_cast<unsigned short*>(block);
        m_sAllocSize = grown;
    }
    std::memcpy(reinterpret_cast<unsigned char*>(m_pMem) + m_sSize, text, bytes);
    m_sSize = needed;
    TQXMLOUT_CHECK(m_sSize <= m_sAllocSize, "m_sSize <= m_sAllocSize");
    return true;
}

bool CXMLMemOut::ClosePhys(bool) {
    if (!m_pMem) return true;
    TQXMLOUT_CHECK(m_sSize % sizeof(unsigned short) == 0, "(m_sSize % sizeof(wchar_t)) == 0");
    TQXMLOUT_CHECK(m_sSize <= m_sAllocSize, "m_sSize <= m_sAllocSize");
    if (m_sSize + sizeof(unsigned short) > m_sAllocSize) {
        void* block = _frealloc(m_pMem, m_sAllocSize + kCloseGrowth);
        if (!block) return false;
        m_pMem = static_cast<unsigned short*>(block);
        m_sAllocSize += kCloseGrowth;
    }
    const unsigned short nul = 0;
    std::memcpy(reinterpret_cast<unsigned char*>(m_pMem) + m_sSize, &nul, sizeof nul);
    m_sSize += sizeof nul;
    return true;
}

std::uint64_t CXMLMemOut::GetSizeWritten() {
    return m_sSize;
}

CXMLMemOut::operator const unsigned short*() const noexcept {
    if (!hasClosedText()) return nullptr;
    return m_pMem[0] == 0xFEFF ? m_pMem + 1 : m_pMem;
}

CXMLMemOut::operator const void*() const noexcept {
    return hasClosedText() ? m_pMem : nullptr;
}

bool CXMLMemOut::hasReadableText() const {
    if (!hasClosedText()) return false;
    TQXMLOUT_CHECK(*m_pMem == 0xFEFF, "*m_pMem == 0xFEFF");
    return m_pMem[0] != 0;
}

std::uint64_t CXMLMemOut::GetLen() const {
    if (!hasReadableText() || m_sSize < 5) return 0;
    return m_sSize / 2 - 2;
}

std::uint64_t CXMLMemOut::GetSize() const {
    return hasReadableText() ? m_sSize : 0;
}

void CXMLMemOut::Free() noexcept {
    _ffree(m_pMem);
    m_pMem = nullptr;
    m_sSize = 0;
    m_sAllocSize = 0;
}

// A walk that stopped leaves the text written up to there: the sink is cut
// off and terminated where it stood, and that text is the content. Text that
// lost a piece to a failed allocation is no content at all.
CPPoolString CXMLObject::GetContent() const {
    if (IsDefault()) return CPPoolString::pempty;
    CXMLMemOut sink;
    if (!sink.Open()) return CPPoolString::pempty;
    sink.Write(*this);
    sink.Close(false);  // a failed write has closed the sink already
    const unsigned short* text = sink;
    // Whatever Write returned: a stopped walk leaves the text up to the stop.
    return text ? CStringPool::GetStringRef(text) : CPPoolString::pempty;
}

}  // namespace tqcore
