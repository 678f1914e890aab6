// Locale objects of the runtime library. Every locale this layer knows formats
// numbers the same way, with "." as the decimal point, so a locale object only
// records that it was made for a known name.
#include <langinfo.h>
#include <strings.h>

#include <cstring>
#include <new>

#include "classic_locale.h"
#include "tqplatform/wformat.h"

namespace tqplat {

struct LocaleData {};

namespace {

// 0 means all categories, as on Windows; the runtime's own LC_ALL macro is
// taken as the same.
bool IsAllCategories(int category) {
    return category == 0 || category == LC_ALL;
}

bool IsKnownName(const char* name) {
    return name[0] == '\0' || strcasecmp(name, "C") == 0 || strcasecmp(name, "English") == 0;
}

// Copies a runtime string into fixed storage, cut to fit.
template <std::size_t N>
char* Keep(char (&storage)[N], const char* text) {
    std::strncpy(storage, text != nullptr ? text : "", N - 1);
    storage[N - 1] = '\0';
    return storage;
}

}  // namespace

locale_t ClassicLocale() {
    static const locale_t classic = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return classic;
}

_locale_t _create_locale(int category, const char* name) {
    if (!IsAllCategories(category) || name == nullptr || !IsKnownName(name)) return nullptr;
    return new (std::nothrow) LocaleData;
}

void _free_locale(_locale_t locale) {
    delete locale;
}

lconv_t* localeconv() {
    // Reflects the locale the process (or this thread) has selected, as the
    // runtime's own localeconv does; the storage is per thread.
    thread_local char decimalPoint[8];
    thread_local char thousandsSep[8];
    thread_local char grouping[8];
    thread_local lconv_t conv;
    conv.decimal_point = Keep(decimalPoint, nl_langinfo(RADIXCHAR));
    conv.thousands_sep = Keep(thousandsSep, nl_langinfo(THOUSEP));
    conv.grouping = Keep(grouping, nl_langinfo(GROUPING));
    return &conv;
}

}  // namespace tqplat
