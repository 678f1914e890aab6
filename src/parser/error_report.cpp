// Turning a failed parse into a report: the tree is dropped, the text around
// the error is restored from its source and the report is shown as asked.
#include <algorithm>
#include <cstring>

#include "module/log_and_retry.h"
#include "parser/report_text.h"
#include "tqcore/diag.h"
#include "tqcore/log.h"
#include "tqcore/wtext.h"
#include "tqplatform/files.h"
#include "tqplatform/system.h"
#include "tqxml/xmldoc.h"

namespace tqcore {
namespace {

constexpr unsigned int kSourceHandle = 0;
constexpr unsigned int kSourceMemory = 1;
constexpr unsigned int kUnitsAfterError = 40;
// A path longer than this is cut so that the dump still fits the report.
constexpr std::size_t kContextUnits = 1024;

void ShowReport(const unsigned short* text, unsigned int report) {
    if (report == CXML_REPORT_MESSAGEBOX)
        tqplat::MessageBoxW(nullptr, text, W(u"XML Parsing Error"), tqplat::MB_OK);
    else if (report == CXML_REPORT_LOG && IsDebugOn())
        wPrintf(module::kLogParseError.first, module::kLogParseError.second,
                W(u"\rXML Parsing Error: %s\r\n"), text);
}

}  // namespace

bool CXMLDoc::ParsingError(const unsigned short* context, const void* source, unsigned int kind,
                           unsigned int report, unsigned int unit) {
    m_Content.Free();
    if (!m_pBuffer || !m_pErrorPos) return false;
    auto* buffer = static_cast<unsigned char*>(m_pBuffer);
    auto* pos = static_cast<unsigned char*>(m_pErrorPos);
    const std::uint32_t offset = static_cast<std::uint32_t>(pos - buffer);

    unsigned short shownContext[kContextUnits + 1] = {};
    if (context) {
        std::size_t n = 0;
        while (n < kContextUnits && context[n]) ++n;
        std::memcpy(shownContext, context, n * sizeof(unsigned short));
    }
    const unsigned short* errorText =
        CXML_ERROR_TEXTS[m_uErrorCode < CXML_ERROR_COUNT ? m_uErrorCode : 0];

    unsigned short text[parser::kReportUnits];
    if (offset >= m_uTextSize) {
        parser::AppendReport(text, parser::kReportUnits,
                             u"Context: %s\r\nError: %u [%s]\r\nOffset: %u", shownContext,
                             m_uErrorCode, errorText, offset);
        ShowReport(text, report);
        return false;
    }

    // Put back the text up to the error and a little beyond it: the parse
    // has cut and compacted the copy, but never moved unread text.
    std::uint32_t length = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(std::uint64_t{offset} + kUnitsAfterError * unit, m_uTextSize));
    if (kind == kSourceHandle) {
        void* handle = const_cast<void*>(source);
        if (handle == tqplat::INVALID_HANDLE_VALUE) return false;
        if (tqplat::SetFilePointer(handle, static_cast<std::int32_t>(m_uTextStart), nullptr,
                                   tqplat::FILE_BEGIN) == tqplat::INVALID_SET_FILE_POINTER)
            return false;
        std::uint32_t read = 0;
        if (!tqplat::ReadFile(handle, buffer, length, &read, nullptr)) return false;
        length = read;
    } else if (kind == kSourceMemory) {
        if (!source) return false;
        std::memcpy(buffer, source, length);
    } else {
        return false;
    }
    buffer[length] = 0;
    buffer[length + 1] = 0;

    const std::size_t head = parser::AppendReport(text, parser::kReportUnits - parser::kDumpUnits,
                                                  u"Context: %s\r\nError: %u [%s]\r\n",
                                                  shownContext, m_uErrorCode, errorText);
    if (unit == 2)
        GetErrorDump(text + head, reinterpret_cast<unsigned short*>(pos));
    else
        GetErrorDump(text + head, reinterpret_cast<char*>(pos));
    ShowReport(text, report);
    releaseBuffer();
    return false;
}

}  // namespace tqcore
