#pragma once
// Loading modules for the tests that watch module references, over
// LoadLibrary, GetProcAddress and FreeLibrary (posix_compat.cpp).

#define RTLD_LAZY 0x1
#define RTLD_NOW 0x2
#define RTLD_LOCAL 0x0
#define RTLD_NOLOAD 0x4

void* dlopen(const char* path, int flags);
void* dlsym(void* module, const char* name);
int dlclose(void* module);
const char* dlerror();
