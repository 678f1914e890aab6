#include "module/module.h"

#include "tqcore/wtext.h"
#include "tqxml/xmlimage.h"
#include "tqxml/xmlnode.h"

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
tqplat::_locale_t EnglishLocale() noexcept {
    return g_objects.english.get();
}

}  // namespace tqcore::module
