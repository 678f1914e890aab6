#pragma once
// The runtime library's locale-aware wide formatting and scanning, with the
// Windows wide conventions: text is UTF-16; %s and %ls take UTF-16 strings,
// %hs narrow (ANSI) ones; %c a UTF-16 unit, %hc an ANSI byte; %l means 32 bits
// and %I64 (or %ll) 64 bits. Numbers always use "." as the decimal point.
#include <cstdarg>
#include <cstddef>

#include "tqplatform/export.h"

namespace tqplat {

struct LocaleData;
using _locale_t = LocaleData*;

// The category "all", 0 as on Windows; the runtime's LC_ALL is a macro with
// another value here, and is accepted as the same.
constexpr int LOCALE_ALL_CATEGORIES = 0;

// Category 0 (all; the runtime's own LC_ALL value is taken as the same) and
// the names "English", "C" or "" are known; every locale formats numbers with
// '.' as the decimal point. Null for others.
TQPLATFORM_API _locale_t _create_locale(int category, const char* name);
TQPLATFORM_API void _free_locale(_locale_t locale);

// Writes at most `count` units, as Windows' _vsnwprintf does: a text shorter
// than `count` is written with a terminator and its length returned; a text
// of exactly `count` units is written without a terminator and `count`
// returned; a longer one fills the buffer (no terminator) and gives -1. A bad
// format (%n, an unknown conversion, a width or precision above 1000000)
// gives -1. A null buffer with `count` 0 asks for the length.
TQPLATFORM_API int _vsnwprintf_l(unsigned short* buffer, std::size_t count,
                                 const unsigned short* format, _locale_t locale, va_list args);
TQPLATFORM_API int _snwprintf_l(unsigned short* buffer, std::size_t count,
                                const unsigned short* format, _locale_t locale, ...);

// Returns the number of fields assigned, or -1 (EOF) when the input ends
// before the first conversion. A partial number keeps the converted prefix
// ("12abc" reads 12); integers wrap on overflow; %s and %[ do not check the
// room of their target, as with the runtime's swscanf.
TQPLATFORM_API int _vswscanf_l(const unsigned short* input, const unsigned short* format,
                               _locale_t locale, va_list args);
TQPLATFORM_API int _swscanf_l(const unsigned short* input, const unsigned short* format,
                              _locale_t locale, ...);

struct lconv_t {
    char* decimal_point;
    char* thousands_sep;
    char* grouping;
};
// The runtime library's current locale, as setlocale chose it (per thread,
// valid until the next call on the thread): "." unless the process selected
// a locale with another decimal point.
TQPLATFORM_API lconv_t* localeconv();

}  // namespace tqplat
