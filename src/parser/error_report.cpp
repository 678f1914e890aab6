// Parse error reports: the texts of the codes, and turning a failed parse
// into a report. The tree is dropped, the text around the error is restored
// from its source, and the report (context, code, line, excerpt and a caret
// line ending below the error) is shown as asked.
#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <type_traits>

#include "module/log_and_retry.h"
#include "module/module.h"
#include "tqcore/diag.h"
#include "tqcore/log.h"
#include "tqcore/wtext.h"
#include "tqplatform/files.h"
#include "tqplatform/system.h"
#include "tqxml/xmldoc.h"

namespace tqcore {

const unsigned short* const CXML_ERROR_TEXTS[CXML_ERROR_COUNT] = {
    W(u"Undefined"),          W(u"End of file"),         W(u"Open comment"),
    W(u"Open string"),        W(u"Open enclosure"),      W(u"Invalid tag"),
    W(u"Bad attribute"),      W(u"Bad escape"),          W(u"External replacement"),
    W(u"Open CDATA section"), W(u"Bad data terminator"), W(u"Nesting error"),
    W(u"Version != 1.0"),     W(u"Bad termination tag"), W(u"Excessively mixed content"),
    W(u"Illegal character"),
};

namespace {

// Units of the report buffer a parse error is formatted into.
constexpr std::size_t kReportUnits = 2048;
// Room kept for the dump after the head: a line number, an excerpt of at most
// 64 + 16 units and the caret line repeating up to 64 of them.
constexpr std::size_t kDumpUnits = 512;
// A path longer than this is cut so that the dump still fits the report.
constexpr std::size_t kContextUnits = 1024;
constexpr unsigned int kUnitsAfterError = 40;

constexpr long kLeftUnits = 64;   // units shown before the error position
constexpr long kRightUnits = 16;  // longest tail shown after it ...
constexpr long kRightKept = 13;   // ... else this much, then "..."

// Formats at `out` (holding `room` units) and returns the units written; text
// that does not fit leaves `out` empty and returns 0.
std::size_t AppendReport(unsigned short* out, std::size_t room, const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = tqplat::_vsnwprintf_l(out, room, reinterpret_cast<const unsigned short*>(format),
                                        module::EnglishLocale(), args);
    va_end(args);
    if (n < 0 || static_cast<std::size_t>(n) >= room) {
        if (room) out[0] = 0;
        return 0;
    }
    return static_cast<std::size_t>(n);
}

void ShowReport(const unsigned short* text, unsigned int report) {
    if (report == CXML_REPORT_MESSAGEBOX)
        tqplat::MessageBoxW(nullptr, text, W(u"XML Parsing Error"), tqplat::MB_OK);
    else if (report == CXML_REPORT_LOG && IsDebugOn())
        wPrintf(module::kLogParseError.first, module::kLogParseError.second,
                W(u"\rXML Parsing Error: %s\r\n"), text);
}

template <class T>
void DumpAround(unsigned short* out, T* buffer, T* pos) {
    unsigned int line = 0;
    T* lineStart = buffer;
    for (T* u = buffer; u < pos; ++u)
        if (*u == T('\n')) {
            ++line;
            lineStart = u;
        }
    while (lineStart < pos && (*lineStart == T('\r') || *lineStart == T('\n'))) ++lineStart;
    if (pos - lineStart > kLeftUnits) {
        lineStart = pos - kLeftUnits;
        lineStart[0] = lineStart[1] = lineStart[2] = T('.');
    }
    T* end = pos;
    while (*end != 0 && *end != T('\r') && *end != T('\n')) ++end;
    *end = 0;
    if (end - pos > kRightUnits) {
        pos[kRightKept] = pos[kRightKept + 1] = pos[kRightKept + 2] = T('.');
        pos[kRightUnits] = 0;
    }

    constexpr bool wide = std::is_same_v<T, unsigned short>;
    std::size_t room = kDumpUnits;
    std::size_t n = AppendReport(out, room, u"Line: %u\r\n", line);
    n += AppendReport(out + n, room - n, wide ? u"%ls\r\n" : u"%hs\r\n", lineStart);
    const T saved = *pos;
    *pos = 0;
    AppendReport(out + n, room - n, wide ? u"%ls^----\r\n" : u"%hs^----\r\n", lineStart);
    *pos = saved;
}

}  // namespace

void CXMLDoc::GetErrorDump(unsigned short* out, unsigned short* pos) {
    DumpAround(out, static_cast<unsigned short*>(m_pBuffer), pos);
}

void CXMLDoc::GetErrorDump(unsigned short* out, char* pos) {
    DumpAround(out, static_cast<char*>(m_pBuffer), pos);
}

void CXMLDoc::GetErrorDump(unsigned short* out, unsigned char* pos) {
    DumpAround(out, static_cast<unsigned char*>(m_pBuffer), pos);
}

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

    unsigned short text[kReportUnits];
    if (offset >= m_uTextSize) {
        AppendReport(text, kReportUnits, u"Context: %s\r\nError: %u [%s]\r\nOffset: %u",
                     shownContext, m_uErrorCode, errorText, offset);
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

    const std::size_t head =
        AppendReport(text, kReportUnits - kDumpUnits, u"Context: %s\r\nError: %u [%s]\r\n",
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
