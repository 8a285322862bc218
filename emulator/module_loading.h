// Opening a plug-in module, finding its exports by name and closing it: the system's
// loader (module_loading_posix.cpp: dlopen; module_loading_windows.cpp: LoadLibraryW).
// Host's thread only.
#pragma once

#include <string>

namespace tide::emulator {

// The file name ending of a module on this system.
#ifdef _WIN32
constexpr const char* kModuleSuffix = ".dll";
#else
constexpr const char* kModuleSuffix = ".so";
#endif

// The file of module `name` ("Tidelisten") in `directory`.
inline std::string ModuleFile(const std::string& directory, const char* name) {
    return directory + "/" + name + kModuleSuffix;
}

// The module at `path` (UTF-8), loaded with its own symbols kept to itself; null with
// `*error` saying why when it cannot be loaded.
void* OpenModule(const std::string& path, std::string* error);

// The address of the export `name`, or null.
void* FindExport(void* module, const char* name);

// Unloads a module OpenModule gave.
void CloseModule(void* module);

}  // namespace tide::emulator
