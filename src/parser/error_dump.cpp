// The dump under a parse error report: line number, the line around the
// error (cut with "..." when long) and a caret line ending below the error.
#include <type_traits>

#include "parser/report_text.h"
#include "tqxml/xmldoc.h"

namespace tqcore {
namespace {

constexpr long kLeftUnits = 64;   // units shown before the error position
constexpr long kRightUnits = 16;  // longest tail shown after it ...
constexpr long kRightKept = 13;   // ... else this much, then "..."

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
    std::size_t room = parser::kDumpUnits;
    std::size_t n = parser::AppendReport(out, room, u"Line: %u\r\n", line);
    n += parser::AppendReport(out + n, room - n, wide ? u"%ls\r\n" : u"%hs\r\n", lineStart);
    const T saved = *pos;
    *pos = 0;
    parser::AppendReport(out + n, room - n, wide ? u"%ls^----\r\n" : u"%hs^----\r\n", lineStart);
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

}  // namespace tqcore
