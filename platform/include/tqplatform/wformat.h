#pragma once
// The runtime library's locale-aware wide formatting and scanning, with the
// Windows wide conventions: text is UTF-16; %s and %ls take UTF-16 strings,
// %hs narrow ones; %I64d/%I64u/%I64x take 64-bit integers.
#include <cstdarg>
#include <cstddef>

#include "tqplatform/export.h"

namespace tqplat {

struct LocaleData;
using _locale_t = LocaleData*;

constexpr int LC_ALL = 0;

// Category 0 (all) and the names "English", "C" or "" are known; every
// locale formats numbers with '.' as the decimal point. Null for others.
TQPLATFORM_API _locale_t _create_locale(int category, const char* name);
TQPLATFORM_API void _free_locale(_locale_t locale);

// Writes at most `count` units; adds a terminator when it fits. Returns the
// number of units written without the terminator, or a negative value when
// the text (without its terminator) does not fit or the format is bad.
TQPLATFORM_API int _vsnwprintf_l(unsigned short* buffer, std::size_t count, const unsigned short* format,
                                 _locale_t locale, va_list args);
TQPLATFORM_API int _snwprintf_l(unsigned short* buffer, std::size_t count, const unsigned short* format,
                                _locale_t locale, ...);

// Returns the number of fields assigned, or -1 (EOF) when the input ends
// before the first conversion.
TQPLATFORM_API int _vswscanf_l(const unsigned short* input, const unsigned short* format, _locale_t locale,
                               va_list args);
TQPLATFORM_API int _swscanf_l(const unsigned short* input, const unsigned short* format, _locale_t locale,
                              ...);

struct lconv_t {
    char* decimal_point;
    char* thousands_sep;
    char* grouping;
};
// The runtime library's current locale; its decimal point is ".".
TQPLATFORM_API lconv_t* localeconv();

}  // namespace tqplat
