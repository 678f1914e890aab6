#pragma once
// The C runtime of MinGW-w64 formats and reads numbers with its own routines
// (not the system runtime's), which know no locale objects: a program runs
// in the "C" locale unless it calls setlocale, and these take "." then.
#include <cstdlib>

namespace tqplat {

struct ClassicNumbers;
using locale_t = const ClassicNumbers*;

inline locale_t ClassicLocale() {
    return nullptr;
}
inline locale_t uselocale(locale_t) {
    return nullptr;
}
inline double strtod_l(const char* text, char** end, locale_t) {
    return __mingw_strtod(text, end);
}
inline long double strtold_l(const char* text, char** end, locale_t) {
    return __mingw_strtold(text, end);
}
inline float strtof_l(const char* text, char** end, locale_t) {
    return __mingw_strtof(text, end);
}

}  // namespace tqplat
