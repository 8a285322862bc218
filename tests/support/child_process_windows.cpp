// Running this program again on Windows: CreateProcessW of the program's own file, the
// variable set in this process's environment for the child to inherit.
#include <windows.h>

#include "tests/support/child_process.h"

namespace tide::testing {

bool RunTestsAgain(const std::string& filter, const std::string& variable, const std::string& value) {
    wchar_t program[MAX_PATH];
    if (GetModuleFileNameW(nullptr, program, MAX_PATH) == 0) return false;
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\" --gtest_filter=";
    commandLine.append(filter.begin(), filter.end());
    SetEnvironmentVariableA(variable.c_str(), value.c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, &process);
    SetEnvironmentVariableA(variable.c_str(), nullptr);
    if (!started) return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status == 0;
}

}  // namespace tide::testing
