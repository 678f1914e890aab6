// Parsing the loaded buffer: the top level, the error hand-over and the
// timing line.
#include "module/log_and_retry.h"
#include "parser/block_parser.h"
#include "tqcore/diag.h"
#include "tqcore/log.h"
#include "tqcore/timing.h"
#include "tqcore/wtext.h"

namespace tqcore {

template <class T>
CXMLDoc::ParseResult CXMLDoc::parseBuffer(const void* source) {
    // A stale record must never be read as a position in this buffer.
    m_pErrorPos = nullptr;
    m_uErrorCode = 0;
    const parser::ParseRunning running;
    parser::SecondHalf<T> half;  // outlives the parser, which may hold its nodes
    BlockParser<T> parser(*this);
    // Parses side by side take turns at the pool's shards: grouped, each
    // thread takes a shard's lock once per batch of new texts.
    if (!running.alone()) parser.GroupTexts();
    T* const text = static_cast<T*>(m_pBuffer);
    T* p = parser.SkipWhitespace(text);
    if (*p != T('<')) return ParseResult::NotMarkup;
    // No root for want of memory fails with no record, so nothing is reported.
    const CPPoolString root = CStringPool::GetStringRef(W(u"<Main>"));
    if (root.isnull() || !m_Content.setNameType(root, CXML_TYPE_ELEMENT))
        return ParseResult::Failed;
    if (half.Start(text, m_uTextSize / sizeof(T), running, &BlockParser<T>::ReadLevels,
                   static_cast<const unsigned char*>(source)))
        parser.ExpectSecondHalf(half);
    while (*p) {
        p = parser.ProcessBlock(p, m_Content);
        if (!p) {
            parser.ReportWaiting();  // a text that waited may be the first failure
            return ParseResult::Failed;
        }
        p = parser.SkipWhitespace(p);
    }
    return parser.FlushWaiting() ? ParseResult::Parsed : ParseResult::Failed;
}

template <class T>
bool CXMLDoc::OpenMem(const unsigned short* context, const void* source, unsigned int kind,
                      unsigned int report) {
    CHFLapse timer(false);
    timer.Start();
    m_Content.Free();
    switch (parseBuffer<T>(kind == kSourceMemory ? source : nullptr)) {
        case ParseResult::NotMarkup:
            return false;
        case ParseResult::Failed:
            return ParsingError(context, source, kind, report, parser::UnitTraits<T>::kUnitBytes);
        case ParseResult::Parsed:
            break;
    }
    timer.Stop();
    module::LogTiming(u"XMLDoc: Parsing", static_cast<double>(timer), m_uTextSize);
    return true;
}

bool CXMLDoc::openByWidth(const unsigned short* context, const void* source, unsigned int kind,
                          unsigned int report) {
    if (m_uTextStart == 2) return OpenMem<unsigned short>(context, source, kind, report);
    if (m_uTextStart == 3) return OpenMem<unsigned char>(context, source, kind, report);
    return OpenMem<char>(context, source, kind, report);
}

template TQXML_API CXMLDoc::ParseResult CXMLDoc::parseBuffer<char>(const void*);
template TQXML_API CXMLDoc::ParseResult CXMLDoc::parseBuffer<unsigned char>(const void*);
template TQXML_API CXMLDoc::ParseResult CXMLDoc::parseBuffer<unsigned short>(const void*);
template bool CXMLDoc::OpenMem<char>(const unsigned short*, const void*, unsigned int,
                                     unsigned int);
template bool CXMLDoc::OpenMem<unsigned char>(const unsigned short*, const void*, unsigned int,
                                              unsigned int);
template bool CXMLDoc::OpenMem<unsigned short>(const unsigned short*, const void*, unsigned int,
                                               unsigned int);

}  // namespace tqcore
