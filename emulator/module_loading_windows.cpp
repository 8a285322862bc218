// The system's loader on Windows: LoadLibraryW under the module's wide name.
#include <windows.h>

#include <string>

#include "emulator/module_loading.h"

namespace tide::emulator {

namespace {

std::wstring Widen(const std::string& utf8) {
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide(units > 0 ? static_cast<size_t>(units) : 1, L'\0');
    if (units > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], units);
    wide.resize(wide.size() - 1);
    return wide;
}

std::string SystemMessage(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length && text ? std::string(text, length) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message;
}

}  // namespace

void* OpenModule(const std::string& path, std::string* error) {
    HMODULE module = LoadLibraryW(Widen(path).c_str());
    if (!module) *error = SystemMessage(GetLastError());
    return reinterpret_cast<void*>(module);
}

void* FindExport(void* module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void CloseModule(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

}  // namespace tide::emulator
