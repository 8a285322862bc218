// The system's loader on POSIX systems: dlopen, each module's symbols kept to itself.
#include <dlfcn.h>

#include "emulator/module_loading.h"

namespace tide::emulator {

void* OpenModule(const std::string& path, std::string* error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        *error = reason ? reason : "cannot load " + path;
    }
    return handle;
}

void* FindExport(void* module, const char* name) { return dlsym(module, name); }

void CloseModule(void* module) { dlclose(module); }

}  // namespace tide::emulator
