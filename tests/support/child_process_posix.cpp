// Running this program again on POSIX systems: posix_spawn of /proc/self/exe.
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <vector>

#include "tests/support/child_process.h"

extern char** environ;

namespace tide::testing {

bool RunTestsAgain(const std::string& filter, const std::string& variable, const std::string& value) {
    std::string filterArgument = "--gtest_filter=" + filter;
    char* argv[] = {const_cast<char*>("/proc/self/exe"), filterArgument.data(), nullptr};
    std::vector<std::string> environment = {variable + "=" + value};
    for (char** entry = environ; *entry; ++entry) environment.emplace_back(*entry);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv, envp.data()) != 0) return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace tide::testing
