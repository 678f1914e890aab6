// Locale objects of the runtime library. Every locale this layer knows formats
// numbers the same way, with "." as the decimal point, so a locale object only
// records that it was made for a known name.
#include <strings.h>

#include <clocale>
#include <new>

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

}  // namespace

_locale_t _create_locale(int category, const char* name) {
    if (!IsAllCategories(category) || name == nullptr || !IsKnownName(name)) return nullptr;
    return new (std::nothrow) LocaleData;
}

void _free_locale(_locale_t locale) {
    delete locale;
}

}  // namespace tqplat
