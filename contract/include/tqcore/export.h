#pragma once
// Exported from libtqcore, as the family's core DLL would export it.
#if defined(_WIN32)
#if defined(TQCORE_BUILD)
#define TQCORE_API __declspec(dllexport)
#else
#define TQCORE_API __declspec(dllimport)
#endif
#else
#define TQCORE_API __attribute__((visibility("default")))
#endif
