#pragma once
// Exported from libtqxml, as the library's DLL would export it.
#define TQXML_API __attribute__((visibility("default")))
