#pragma once
// The "C" locale of the system runtime, made once: numbers are formatted and
// read under it so that the decimal point is "." whatever the process locale.
#if defined(_WIN32)
#include "windows/classic_locale.h"
#else
#include <locale.h>

#include <clocale>

namespace tqplat {

// Never null once the runtime has a "C" locale (always); lives for the process.
locale_t ClassicLocale();

}  // namespace tqplat
#endif
