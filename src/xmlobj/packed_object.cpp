// Packed trees: image records and their string table in one shared body.
#include <new>

#include "module/module.h"
#include "module/reports.h"
#include "tqplatform/files.h"
#include "tqxml/xmlimage.h"
#include "xmlobj/image_reader.h"
#include "xmlobj/image_writer.h"

namespace tqcore {
namespace {

void DestroyBody(CxmpobjectBody* body) noexcept {
    image::FreeTable(body->m_Table);
    body->~CxmpobjectBody();
    module::XmpObjectHeap().Free(body);
}

}  // namespace

Cxmpobject::Cxmpobject(const Cxmpobject& o) noexcept : m_pO(o.m_pO) {
    if (m_pO) m_pO->m_lRefCnt.fetch_add(1, std::memory_order_relaxed);
}

Cxmpobject::Cxmpobject(const CXMLObject& tree) : m_pO(nullptr) {
    *this = tree;
}

Cxmpobject& Cxmpobject::operator=(const Cxmpobject& o) noexcept {
    if (m_pO == o.m_pO) return *this;
    if (o.m_pO) o.m_pO->m_lRefCnt.fetch_add(1, std::memory_order_relaxed);
    _decrement();
    m_pO = o.m_pO;
    return *this;
}

Cxmpobject& Cxmpobject::operator=(const CXMLObject& tree) {
    CPFMemoryStream stream;
    _decrement();
    m_pO = nullptr;
    if (!stream.Open(tqplat::GENERIC_READ | tqplat::GENERIC_WRITE, false)) return *this;
    void* block = module::XmpObjectHeap().Alloc();
    if (!block) return *this;
    // Value-initialised: the table starts zeroed.
    auto* body = new (block) CxmpobjectBody();
    body->m_lRefCnt.store(1, std::memory_order_relaxed);
    bool packed;
    {
        image::StringCollector strings(body->m_Table);
        packed = CXMLImageWriter::WriteNode(stream, tree, strings);
    }
    stream.Close();
    if (!packed || !stream.Store(body->m_Records)) {
        DestroyBody(body);
        return *this;
    }
    m_pO = body;
    return *this;
}

Cxmpobject::operator CXMLObject() const {
    if (!m_pO) return CXMLObject();
    CXMLObject tree;
    const auto* cursor = static_cast<const unsigned char*>(static_cast<void*>(m_pO->m_Records));
    if (!CXMLImageReader::LoadRecords(tree, cursor,
                                      static_cast<std::size_t>(m_pO->m_Records.GetSize()),
                                      m_pO->m_Table.m_pEntries, m_pO->m_Table.m_uCount))
        return CXMLObject();
    return tree;
}

void Cxmpobject::Free() noexcept {
    _decrement();
    m_pO = nullptr;
}

void Cxmpobject::_decrement() noexcept {
    if (!m_pO) return;
    const std::int32_t before = m_pO->m_lRefCnt.fetch_sub(1, std::memory_order_acq_rel);
    if (before < 1)
        reports::Assumption(reports::kXmlObj, "m_pO->m_lRefCnt >= 1", reports::kLineXmpDecrement,
                            __PRETTY_FUNCTION__);
    else if (before == 1)
        DestroyBody(m_pO);
}

void Cxmpobject::GetMemUsage(std::uint64_t& used, std::uint64_t& spare) const noexcept {
    if (!m_pO) return;
    const CXMLStringTable& table = m_pO->m_Table;
    used += sizeof(CxmpobjectBody) + m_pO->m_Records.GetSize() +
            std::uint64_t{table.m_uCount} * sizeof(tagSTRINGID);
    spare += std::uint64_t{table.m_uCapacity - table.m_uCount} * sizeof(tagSTRINGID);
}

std::int64_t GetXmpObjectBodyCount() noexcept {
    return module::XmpObjectHeap().GetUsedCount();
}

}  // namespace tqcore
