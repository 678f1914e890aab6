// The runtime's "C" locale for numbers, and localeconv as the process's
// selected locale gives it.
#include <langinfo.h>

#include <cstring>

#include "classic_locale.h"
#include "tqplatform/wformat.h"

namespace tqplat {

namespace {

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
