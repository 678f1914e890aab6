#pragma once
// The module's static objects, built at load in a fixed order and destroyed
// at unload in the reverse order (module.cpp owns them).
#include "tqcore/heap.h"
#include "tqcore/pool.h"
#include "tqplatform/wformat.h"

namespace tqcore {
class CXMLPropHandlerTable;
class CCacheParserList;
class COSCriticalSection;
}  // namespace tqcore

namespace tqcore::module {

// The node body heap "_xmlobjectheap".
CFHeap& XMLObjectHeap() noexcept;
// The packed-object body heap "_xmpobjectheap".
CFHeap& XmpObjectHeap() noexcept;
// The pooled "true" and "false" that every boolean writer stores.
const CPPoolString& TrueString() noexcept;
const CPPoolString& FalseString() noexcept;
// The handler-entry heap "XMLReg".
CFHeap& XMLRegHeap() noexcept;
// The names and the value of the default handler's XML form.
const CPPoolString& PropertyStorageTypeString() noexcept;
const CPPoolString& BinaryDumpString() noexcept;
const CPPoolString& PropertyStorageSizeString() noexcept;
// The property handler registry.
CXMLPropHandlerTable& HandlerTable() noexcept;
// The cache-parser list and the lock that every change of it holds.
CCacheParserList& CacheParsers() noexcept;
COSCriticalSection& CacheParserLock() noexcept;
// The "English" number locale made by the module entry.
tqplat::_locale_t EnglishLocale() noexcept;

}  // namespace tqcore::module
