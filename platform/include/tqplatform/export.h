#pragma once
// The platform layer is linked into libtqcore and exported from there, so
// that a process holds one copy of its state (last error, share table, hooks).
#define TQPLATFORM_API __attribute__((visibility("default")))
