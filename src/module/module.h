#pragma once
// The module's static objects, built at load in a fixed order and destroyed
// at unload in the reverse order (module.cpp owns them).
#include "tqcore/heap.h"
#include "tqcore/pool.h"
#include "tqplatform/wformat.h"

namespace tqcore::module {

// The node body heap "_xmlobjectheap".
CFHeap& XMLObjectHeap() noexcept;
// The packed-object body heap "_xmpobjectheap".
CFHeap& XmpObjectHeap() noexcept;
// The pooled "true" and "false" that every boolean writer stores.
const CPPoolString& TrueString() noexcept;
const CPPoolString& FalseString() noexcept;
// The "English" number locale made by the module entry.
tqplat::_locale_t EnglishLocale() noexcept;

}  // namespace tqcore::module
