// Private network namespace for tests (see private_network.h).
#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "tests/support/private_network.h"

namespace tide::testing {

namespace {

std::string CurrentNamespace() {
    char link[128] = {};
    ssize_t n = readlink("/proc/self/ns/net", link, sizeof link - 1);
    return n > 0 ? std::string(link, static_cast<size_t>(n)) : std::string();
}

bool WriteFile(const char* path, const std::string& text) {
    std::ofstream out(path);
    out << text;
    return static_cast<bool>(out.flush());
}

// Runs `ip` with the given arguments, without a shell; true on exit status 0.
bool RunIp(std::vector<const char*> args, std::string* error) {
    args.insert(args.begin(), "ip");
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        *error = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0) dup2(devnull, STDOUT_FILENO);
        execvp("ip", const_cast<char* const*>(args.data()));
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    *error = "ip";
    for (size_t i = 1; args[i]; ++i) *error += std::string(" ") + args[i];
    *error += " failed";
    return false;
}

}  // namespace

bool EnterPrivateNetwork(std::string* error) {
    const char* marker = std::getenv(kPrivateNetworkVariable);
    if (marker && CurrentNamespace() == marker) return true;

    if (geteuid() == 0) {
        if (unshare(CLONE_NEWNET) != 0) {
            *error = std::string("unshare(CLONE_NEWNET): ") + std::strerror(errno);
            return false;
        }
    } else {
        uid_t uid = geteuid();
        gid_t gid = getegid();
        if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
            *error = std::string("unshare(CLONE_NEWUSER|CLONE_NEWNET): ") + std::strerror(errno);
            return false;
        }
        WriteFile("/proc/self/setgroups", "deny");
        if (!WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1\n") ||
            !WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1\n")) {
            *error = "cannot map the user into the new user namespace";
            return false;
        }
    }

    const std::string card = std::string(kPrivateCardAddress) + "/24";
    const std::string longest = std::string(kLongestLocalAddress) + "/32";
    if (!RunIp({"link", "set", "lo", "up"}, error) ||
        !RunIp({"link", "set", "lo", "multicast", "on"}, error) ||
        !RunIp({"link", "add", "tide0", "type", "veth", "peer", "name", "tide1"}, error) ||
        !RunIp({"addr", "add", card.c_str(), "dev", "tide0"}, error) ||
        !RunIp({"link", "set", "tide0", "up"}, error) || !RunIp({"link", "set", "tide1", "up"}, error) ||
        !RunIp({"addr", "add", longest.c_str(), "dev", "lo"}, error) ||
        !RunIp({"route", "add", "224.0.0.0/4", "dev", "lo", "src", "127.0.0.1"}, error)) {
        return false;
    }
    setenv(kPrivateNetworkVariable, CurrentNamespace().c_str(), 1);
    return true;
}

}  // namespace tide::testing
