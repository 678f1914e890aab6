#pragma once
// Exported from libtqxml, as the library's DLL would export it.
#if defined(_WIN32)
#if defined(TQXML_BUILD)
#define TQXML_API __declspec(dllexport)
#else
#define TQXML_API __declspec(dllimport)
#endif
#else
#define TQXML_API __attribute__((visibility("default")))
#endif
