#pragma once
// Exported from libtqcore, as the family's core DLL would export it.
#define TQCORE_API __attribute__((visibility("default")))
