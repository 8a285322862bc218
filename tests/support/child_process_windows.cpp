// Running this program again on Windows: CreateProcessW of the program's own file, the
// variables set in this process's environment for the child to inherit, and put back.
#include <windows.h>

#include <optional>

#include "tests/support/child_process.h"

namespace tide::testing {

namespace {

// The exit code a child ended by Kill() has.
constexpr UINT kKilledExitCode = 137;

std::optional<std::string> VariableOf(const std::string& name) {
    const DWORD size = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (size == 0) return std::nullopt;
    std::string value(size, '\0');
    value.resize(GetEnvironmentVariableA(name.c_str(), &value[0], size));
    return value;
}

}  // namespace

ChildProcess::ChildProcess(const ChildSetup& setup) {
    // Descriptors and network namespaces are the POSIX and Linux children's.
    if (!setup.descriptors.empty() || setup.ownNetwork) return;
    wchar_t program[MAX_PATH];
    if (GetModuleFileNameW(nullptr, program, MAX_PATH) == 0) return;
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\" --gtest_filter=";
    commandLine.append(setup.filter.begin(), setup.filter.end());
    std::vector<std::pair<std::string, std::optional<std::string>>> before;
    for (const std::string& entry : setup.environment) {
        const size_t equals = entry.find('=');
        const std::string name = entry.substr(0, equals);
        before.emplace_back(name, VariableOf(name));
        SetEnvironmentVariableA(name.c_str(), entry.substr(equals + 1).c_str());
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL created = CreateProcessW(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, &process);
    for (auto variable = before.rbegin(); variable != before.rend(); ++variable)
        SetEnvironmentVariableA(variable->first.c_str(),
                                variable->second ? variable->second->c_str() : nullptr);
    if (!created) return;
    CloseHandle(process.hThread);
    handle_ = process.hProcess;
    id_ = static_cast<long>(process.dwProcessId);
}

ChildProcess::~ChildProcess() {
    if (!handle_) return;
    if (!waited_) {
        Kill();
        Wait();
    }
    CloseHandle(handle_);
}

ChildEnd ChildProcess::Wait() {
    if (!handle_ || waited_) return end_;
    waited_ = true;
    DWORD code = 1;
    if (WaitForSingleObject(handle_, INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(handle_, &code))
        return end_ = ChildEnd::kUnknown;
    status_ = static_cast<int>(code);
    if (killed_ && code == kKilledExitCode) return end_ = ChildEnd::kKilled;
    return end_ = code == 0 ? ChildEnd::kSucceeded : ChildEnd::kFailed;
}

void ChildProcess::Kill() {
    if (handle_ && !waited_) killed_ = TerminateProcess(handle_, kKilledExitCode) != 0;
}

}  // namespace tide::testing
