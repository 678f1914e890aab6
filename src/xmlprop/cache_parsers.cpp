// Registration of cache parsers and their run over every stored property.
//
// A parser runs on a snapshot of the list taken under the lock, so the
// entries it is called through, and the modules they pin, stay valid while
// it runs even when parsers are unregistered meanwhile; the parsers
// themselves run outside the lock. C++ exceptions from a parser are reported
// and the next parser runs. A processor fault in a parser (SIGSEGV and the
// like) is not caught: there is no safe way to unwind out of the faulting
// code, so the process's own signal handling decides, as for any other
// fault of its code.
#include <utility>

#include "module/module.h"
#include "tqcore/timing.h"
#include "xmlprop/cache_parser_list.h"
#include "xmlprop/prop_reports.h"

namespace tqcore {
namespace {

class ParserListLock {
  public:
    ParserListLock() { module::CacheParserLock().Enter(); }
    ~ParserListLock() { module::CacheParserLock().Leave(); }
    ParserListLock(const ParserListLock&) = delete;
    ParserListLock& operator=(const ParserListLock&) = delete;
};

}  // namespace

bool CPXMLProperty::RegisterCacheParser(XMLCACHEPARSER parser, void* parserModule) noexcept {
    try {
        ParserListLock lock;
        CCacheParserList& list = module::CacheParsers();
        if (list.Contains(parser)) return false;
        tagCACHEPARSERENTRY entry(parser, parserModule);
        return !entry.IsEmpty() && list.Append(std::move(entry));
    } catch (...) {
        return false;
    }
}

bool CPXMLProperty::UnregisterCacheParser(XMLCACHEPARSER parser) noexcept {
    try {
        ParserListLock lock;
        return module::CacheParsers().Remove(parser);
    } catch (...) {
        return false;
    }
}

void CPXMLProperty::CacheParse(tagXMLPROPERTY& header, const CXMLObject& tree) noexcept {
    try {
        CPObjectMemory snapshot;
        {
            ParserListLock lock;
            snapshot = module::CacheParsers().Snapshot();
        }
        std::uint32_t count = 0;
        const tagCACHEPARSERENTRY* entries = CCacheParserList::Entries(snapshot, count);
        for (std::uint32_t i = 0; i < count; ++i) {
            if (entries[i].IsEmpty()) continue;
            try {
                entries[i].pfnParser(header, tree);
            } catch (...) {
                TQXMLPROP_ILLEGAL("Exception in XML property parser invocation");
            }
        }
    } catch (...) {
        TQXMLPROP_ILLEGAL("Access conflict during processing of XML property parsers");
    }
}

}  // namespace tqcore
