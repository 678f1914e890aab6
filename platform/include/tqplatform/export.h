#pragma once
// The platform layer is linked into libtqcore and exported from there, so
// that a process holds one copy of its state (last error, share table, hooks).
#if defined(_WIN32)
#if defined(TQPLATFORM_BUILD) || defined(TQCORE_BUILD)
#define TQPLATFORM_API __declspec(dllexport)
#else
#define TQPLATFORM_API __declspec(dllimport)
#endif
#else
#define TQPLATFORM_API __attribute__((visibility("default")))
#endif
