// Running this program again on POSIX systems: fork and execve of /proc/self/exe, with a
// pipe that tells whether the child got as far as the execve.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tests/support/child_process.h"
#include "tests/support/private_network.h"

extern char** environ;

namespace tide::testing {

namespace {

// Room for the name of a network namespace ("net:[4026532281]").
constexpr size_t kNamespaceTextBytes = 128;

// "NAME=" of a NAME=VALUE entry.
std::string NameOf(const std::string& entry) { return entry.substr(0, entry.find('=') + 1); }

bool Named(const char* entry, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        if (std::strncmp(entry, name.c_str(), name.size()) == 0) return true;
    }
    return false;
}

}  // namespace

ChildProcess::ChildProcess(const ChildSetup& setup) {
    // Everything the child needs is made before fork: after it, the child only makes
    // system calls until it runs this program again.
    std::vector<std::string> environment = setup.environment;
    std::vector<std::string> names;
    for (const std::string& entry : environment) names.push_back(NameOf(entry));
    const std::string markerName = std::string(kPrivateNetworkVariable) + "=";
    if (setup.ownNetwork) {
        // The child writes its namespace's name into the room after the '='.
        names.push_back(markerName);
        environment.push_back(markerName + std::string(kNamespaceTextBytes, '\0'));
    }
    for (char** entry = environ; *entry; ++entry) {
        if (!Named(*entry, names)) environment.emplace_back(*entry);
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    char* marker = setup.ownNetwork ? envp[setup.environment.size()] + markerName.size() : nullptr;
    std::string filter = "--gtest_filter=" + setup.filter;
    char* argv[] = {const_cast<char*>("/proc/self/exe"), filter.data(), nullptr};

    // The execve closes both ends; a byte comes through only when the child failed before.
    int reached[2];
    if (pipe2(reached, O_CLOEXEC) != 0) return;
    const pid_t pid = fork();
    if (pid == 0) {
        bool ready =
            !setup.ownNetwork || (unshare(CLONE_NEWNET) == 0 &&
                                  readlink("/proc/self/ns/net", marker, kNamespaceTextBytes - 1) > 0);
        for (const std::pair<int, int>& descriptor : setup.descriptors)
            ready = ready && dup2(descriptor.first, descriptor.second) >= 0;
        if (ready) execve("/proc/self/exe", argv, envp.data());
        const char failed = 1;
        if (write(reached[1], &failed, 1) != 1) _exit(126);
        _exit(127);
    }
    close(reached[1]);
    if (pid < 0) {
        close(reached[0]);
        return;
    }
    char failed = 0;
    ssize_t n = 0;
    while ((n = read(reached[0], &failed, 1)) < 0 && errno == EINTR) {
    }
    close(reached[0]);
    id_ = pid;
    if (n != 0) {
        Wait();
        id_ = -1;
        end_ = ChildEnd::kUnknown;
    }
}

ChildProcess::~ChildProcess() {
    if (started() && !waited_) {
        Kill();
        Wait();
    }
}

ChildEnd ChildProcess::Wait() {
    if (!started() || waited_) return end_;
    int status = 0;
    pid_t ended = 0;
    while ((ended = waitpid(static_cast<pid_t>(id_), &status, 0)) < 0 && errno == EINTR) {
    }
    waited_ = true;
    if (ended != static_cast<pid_t>(id_)) return end_ = ChildEnd::kUnknown;
    status_ = status;
    if (WIFEXITED(status)) {
        end_ = WEXITSTATUS(status) == 0 ? ChildEnd::kSucceeded : ChildEnd::kFailed;
    } else {
        end_ = killed_ && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? ChildEnd::kKilled
                                                                             : ChildEnd::kFailed;
    }
    return end_;
}

void ChildProcess::Kill() {
    if (started() && !waited_) killed_ = kill(static_cast<pid_t>(id_), SIGKILL) == 0;
}

}  // namespace tide::testing
