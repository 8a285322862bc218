// The command line and streams on Windows: the wide command line turned into UTF-8, and
// the C runtime's streams switched from text to binary mode.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "emulator/tidehost/console.h"
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>

namespace tide::tidehost {

namespace {

std::string Utf8(const wchar_t* wide) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string text(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, &text[0], bytes, nullptr, nullptr);
    text.resize(static_cast<size_t>(bytes) - 1);
    return text;
}

}  // namespace

std::vector<std::string> CommandLineWords(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return {argv, argv + argc};
    std::vector<std::string> words;
    for (int i = 0; i < count; ++i) words.push_back(Utf8(wide[i]));
    LocalFree(wide);
    return words;
}

std::string ProgramFolder() {
    wchar_t path[32768];
    const DWORD length = GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
    if (length == 0 || length >= sizeof path / sizeof path[0]) return {};
    const std::string program = Utf8(path);
    const size_t separator = program.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : program.substr(0, separator);
}

void UseByteStreams() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
}

}  // namespace tide::tidehost
