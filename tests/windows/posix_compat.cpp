// The system calls behind tests/windows/posix.
#include <windows.h>

#include "posix/dlfcn.h"
#include "posix/sys/mman.h"

namespace {

DWORD WindowsProtection(int prot) {
    if (prot & PROT_WRITE) return PAGE_READWRITE;
    return prot & PROT_READ ? PAGE_READONLY : PAGE_NOACCESS;
}

}  // namespace

void* mmap(void*, std::size_t length, int prot, int, int, long) {
    void* p = VirtualAlloc(nullptr, length, MEM_RESERVE | MEM_COMMIT, WindowsProtection(prot));
    return p ? p : MAP_FAILED;
}

int mprotect(void* address, std::size_t length, int prot) {
    DWORD old;
    return VirtualProtect(address, length, WindowsProtection(prot), &old) ? 0 : -1;
}

int munmap(void* address, std::size_t) {
    return VirtualFree(address, 0, MEM_RELEASE) ? 0 : -1;
}

void* dlopen(const char* path, int flags) {
    if (flags & RTLD_NOLOAD) {
        HMODULE loaded = nullptr;
        // A reference of its own, as dlopen with RTLD_NOLOAD takes one.
        return GetModuleHandleExA(0, path, &loaded) ? loaded : nullptr;
    }
    return LoadLibraryA(path);
}

void* dlsym(void* module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

int dlclose(void* module) {
    return FreeLibrary(static_cast<HMODULE>(module)) ? 0 : -1;
}

const char* dlerror() {
    return "the module could not be loaded or has no such symbol";
}
