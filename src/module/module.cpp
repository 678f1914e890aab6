#include "module/module.h"

#include "tqcore/timing.h"
#include "tqcore/wtext.h"
#include "tqxml/xmlimage.h"
#include "tqxml/xmlnode.h"
#include "xmlprop/cache_parser_list.h"
#include "xmlprop/handler_table.h"

namespace tqcore::module {
namespace {

// The number locale lives from the module entry to its exit.
class EnglishLocaleHolder {
  public:
    EnglishLocaleHolder() noexcept
        : m_locale(tqplat::_create_locale(tqplat::LOCALE_ALL_CATEGORIES, "English")) {}
    ~EnglishLocaleHolder() {
        if (m_locale) tqplat::_free_locale(m_locale);
    }
    EnglishLocaleHolder(const EnglishLocaleHolder&) = delete;
    EnglishLocaleHolder& operator=(const EnglishLocaleHolder&) = delete;
    tqplat::_locale_t get() const noexcept { return m_locale; }

  private:
    tqplat::_locale_t m_locale;
};

// Members are built top to bottom and destroyed bottom to top: the static
// objects first, in their fixed order, and the module entry's locale last.
// New static objects go in their place in that order.
struct ModuleObjects {
    CFHeap xmlObjectHeap{"_xmlobjectheap", sizeof(CXMLObjectBody), 4096, 1, 0xFFFFFFFFu};
    CFHeap xmpObjectHeap{"_xmpobjectheap", sizeof(CxmpobjectBody), 4096, 1, 0xFFFFFFFFu};
    CPPoolString trueString{CStringPool::GetStringRef(W(u"true"))};
    CPPoolString falseString{CStringPool::GetStringRef(W(u"false"))};
    CFHeap xmlRegHeap{"XMLReg", sizeof(tagXMLPROPHANDLERENTRY), 8, 0, 0};
    CPPoolString propertyStorageType{CStringPool::GetStringRef(W(u"PropertyStorageType"))};
    CPPoolString binaryDump{CStringPool::GetStringRef(W(u"BinaryDump"))};
    CPPoolString propertyStorageSize{CStringPool::GetStringRef(W(u"PropertyStorageSize"))};
    CXMLPropHandlerTable handlerTable;
    CCacheParserList cacheParsers;
    COSCriticalSection cacheParserLock{0};
    EnglishLocaleHolder english;
};

// Built before the library's other static objects so no node can precede it.
__attribute__((init_priority(200))) ModuleObjects g_objects;

}  // namespace

CFHeap& XMLObjectHeap() noexcept {
    return g_objects.xmlObjectHeap;
}
CFHeap& XmpObjectHeap() noexcept {
    return g_objects.xmpObjectHeap;
}
const CPPoolString& TrueString() noexcept {
    return g_objects.trueString;
}
const CPPoolString& FalseString() noexcept {
    return g_objects.falseString;
}
CFHeap& XMLRegHeap() noexcept {
    return g_objects.xmlRegHeap;
}
const CPPoolString& PropertyStorageTypeString() noexcept {
    return g_objects.propertyStorageType;
}
const CPPoolString& BinaryDumpString() noexcept {
    return g_objects.binaryDump;
}
const CPPoolString& PropertyStorageSizeString() noexcept {
    return g_objects.propertyStorageSize;
}
CXMLPropHandlerTable& HandlerTable() noexcept {
    return g_objects.handlerTable;
}
CCacheParserList& CacheParsers() noexcept {
    return g_objects.cacheParsers;
}
COSCriticalSection& CacheParserLock() noexcept {
    return g_objects.cacheParserLock;
}
tqplat::_locale_t EnglishLocale() noexcept {
    return g_objects.english.get();
}

}  // namespace tqcore::module
