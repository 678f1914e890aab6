// Modules named by their base address, as dladdr reports it. References
// taken by LoadLibraryW are counted here; each one on a shared library also
// holds one dlopen reference, so the library unloads with the last release.
#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "native_path.h"
#include "tqplatform/filenames.h"
#include "tqplatform/files.h"
#include "tqplatform/system.h"

namespace tqplat {

namespace {

struct Reference {
    void* library = nullptr;  // dlopen handle; null for the main program
    int count = 0;
};

struct Modules {
    std::mutex lock;
    std::map<void*, Reference> byBase;
};

// Never destroyed: modules may be released by static destructors of any module.
Modules& LoadedModules() {
    static Modules* const modules = new Modules;
    return *modules;
}

void* BaseOf(const void* address) {
    Dl_info info{};
    return address != nullptr && dladdr(address, &info) != 0 ? info.dli_fbase : nullptr;
}

// The base of the dlopen handle `library`, found through its dynamic section.
void* BaseOfLibrary(void* library) {
    link_map* map = nullptr;
    return library != nullptr && dlinfo(library, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr
               ? BaseOf(map->l_ld)
               : nullptr;
}

void* MainBase() {
    static void* const base = BaseOfLibrary(dlopen(nullptr, RTLD_NOW));
    return base;
}

std::string MainPath() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

bool IsMainProgram(const std::string& path) {
    struct stat wanted {
    }, self{};
    return stat(path.c_str(), &wanted) == 0 && stat("/proc/self/exe", &self) == 0 &&
           wanted.st_dev == self.st_dev && wanted.st_ino == self.st_ino;
}

// The full path of a loaded module, or empty when `module` is no module base.
std::string ModulePath(void* module) {
    if (module == nullptr || module == MainBase()) return MainPath();
    Dl_info info{};
    if (dladdr(module, &info) == 0 || info.dli_fbase != module || info.dli_fname == nullptr)
        return {};
    std::string path = info.dli_fname;
    if (!path.empty() && path[0] != '/') {
        char absolute[PATH_MAX];
        path = realpath(path.c_str(), absolute) != nullptr ? absolute : "";
    }
    return path;
}

void* Count(void* base, void* library) {
    Modules& modules = LoadedModules();
    std::lock_guard<std::mutex> guard(modules.lock);
    Reference& reference = modules.byBase[base];
    reference.library = library;
    ++reference.count;
    return base;
}

}  // namespace

void* LoadLibraryW(const unsigned short* path) {
    std::string native;
    if (!NativePath(path, native)) return nullptr;
    if (IsMainProgram(native)) return Count(MainBase(), nullptr);

    // Outside the lock: the library's constructors may load modules themselves.
    void* library = dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
    void* base = BaseOfLibrary(library);
    if (base == nullptr) {
        if (library != nullptr) dlclose(library);
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return Count(base, library);
}

bool FreeLibrary(void* module) {
    void* const base = module != nullptr ? module : MainBase();
    void* library = nullptr;
    {
        Modules& modules = LoadedModules();
        std::lock_guard<std::mutex> guard(modules.lock);
        const auto it = modules.byBase.find(base);
        if (base == nullptr || it == modules.byBase.end()) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return false;
        }
        library = it->second.library;
        if (--it->second.count == 0) modules.byBase.erase(it);
    }
    // Outside the lock: the library's destructors may release modules themselves.
    if (library != nullptr) dlclose(library);
    return true;
}

std::uint32_t GetModuleFileNameW(void* module, unsigned short* buffer, std::uint32_t size) {
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (buffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string path = ModulePath(module);
    if (path.empty()) {
        buffer[0] = 0;
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    const std::u16string wide = WideFileName(path);
    const std::uint32_t length = static_cast<std::uint32_t>(wide.size());
    const std::uint32_t kept = length < size ? length : size - 1;
    std::copy(wide.begin(), wide.begin() + kept, buffer);
    buffer[kept] = 0;
    if (kept < length) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    SetLastError(ERROR_SUCCESS);
    return length;
}

void* GetModuleFromAddress(const void* address) {
    return BaseOf(address);
}

}  // namespace tqplat
