// The multi-host tests' network: a bridge, and host processes in namespaces of their own.
#include "tests/reliability/lan.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "tests/reliability/host_steps.h"

extern char** environ;

namespace tide::testing {

namespace {

// How long a host may stay silent before the test gives up on it; reached only when a
// host is stuck.
constexpr int kSilentHostMilliseconds = 60000;
constexpr auto kLearnWait = std::chrono::seconds(30);
constexpr size_t kNamespaceTextBytes = 128;

int gLanNumber = 0;

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string Output(const std::string& command) {
    std::string text;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) return text;
    char chunk[512];
    for (size_t n = fread(chunk, 1, sizeof chunk, pipe); n > 0; n = fread(chunk, 1, sizeof chunk, pipe))
        text.append(chunk, n);
    pclose(pipe);
    return text;
}

}  // namespace

Lan::Lan() : bridge_("tidelan" + std::to_string(++gLanNumber)) {
    if (!Run("ip link add name " + bridge_ + " type bridge mcast_snooping 1 mcast_querier 1") ||
        !Run("ip link set " + bridge_ + " up"))
        error_ = "cannot make the bridge " + bridge_;
}

Lan::~Lan() {
    for (HostProcess& host : hosts_) {
        if (!host.ended && host.pid > 0) {
            kill(host.pid, SIGKILL);
            waitpid(host.pid, nullptr, 0);
        }
        if (host.toHost >= 0) close(host.toHost);
        if (host.fromHost >= 0) close(host.fromHost);
    }
    Run("ip link del " + bridge_);
}

int Lan::AddHost(const std::string& address, const std::string& steps) {
    const int number = static_cast<int>(hosts_.size());
    HostProcess host;
    host.port = bridge_ + "p" + std::to_string(number);
    const std::string link = bridge_ + "h" + std::to_string(number);

    // Everything the child needs is made before fork: after it, the child only makes
    // system calls until it runs this binary again.
    std::vector<std::string> environment = {std::string(kHostStepsVariable) + "=" + steps,
                                            std::string(kHostAddressVariable) + "=" + address,
                                            std::string(kHostLinkVariable) + "=" + link};
    for (char** entry = environ; *entry; ++entry) {
        if (std::strncmp(*entry, "TIDE_PRIVATE_NETNS=", 19) != 0) environment.emplace_back(*entry);
    }
    std::string marker = "TIDE_PRIVATE_NETNS=";
    const size_t markerPrefix = marker.size();
    marker.resize(markerPrefix + kNamespaceTextBytes, '\0');
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(marker.data());
    envp.push_back(nullptr);
    std::string filter = "--gtest_filter=" + std::string(kHostStepsTest);
    char* argv[] = {const_cast<char*>("/proc/self/exe"), filter.data(), nullptr};

    int ready[2], go[2], up[2], down[2];
    if (pipe2(ready, O_CLOEXEC) != 0 || pipe2(go, O_CLOEXEC) != 0 || pipe2(up, O_CLOEXEC) != 0 ||
        pipe2(down, O_CLOEXEC) != 0) {
        error_ = "pipe: " + std::string(std::strerror(errno));
        return -1;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        if (unshare(CLONE_NEWNET) != 0) _exit(120);
        const ssize_t n = readlink("/proc/self/ns/net", &marker[markerPrefix], kNamespaceTextBytes - 1);
        if (n <= 0) _exit(121);
        char signal = 'u';
        if (write(ready[1], &signal, 1) != 1 || read(go[0], &signal, 1) != 1) _exit(122);
        if (dup2(up[1], kHostToTestFd) < 0 || dup2(down[0], kTestToHostFd) < 0) _exit(123);
        execve("/proc/self/exe", argv, envp.data());
        _exit(124);
    }
    close(ready[1]);
    close(go[0]);
    close(up[1]);
    close(down[0]);
    host.pid = pid;
    host.fromHost = up[0];
    host.toHost = down[1];
    hosts_.push_back(host);
    if (pid < 0) {
        error_ = "fork: " + std::string(std::strerror(errno));
        hosts_.back().ended = true;
        close(ready[0]);
        close(go[1]);
        return -1;
    }

    char signal = 0;
    const bool unshared = read(ready[0], &signal, 1) == 1;
    close(ready[0]);
    const bool linked = unshared && Run("ip link add " + host.port + " type veth peer name " + link) &&
                        Run("ip link set " + host.port + " master " + bridge_) &&
                        Run("ip link set " + host.port + " up") &&
                        Run("ip link set " + link + " netns " + std::to_string(pid));
    if (linked) signal = 'g';
    if (!linked || write(go[1], &signal, 1) != 1)
        error_ = "cannot connect host " + address + " to the bridge";
    close(go[1]);
    return linked ? number : -1;
}

void Lan::Tell(int host, const std::string& word) {
    const std::string line = word + "\n";
    if (write(hosts_[host].toHost, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        error_ = "host " + std::to_string(host) + " cannot be told " + word;
}

bool Lan::ReadLine(HostProcess& host, std::string* line) {
    for (;;) {
        const size_t end = host.pending.find('\n');
        if (end != std::string::npos) {
            *line = host.pending.substr(0, end);
            host.pending.erase(0, end + 1);
            return true;
        }
        pollfd ready{host.fromHost, POLLIN, 0};
        if (poll(&ready, 1, kSilentHostMilliseconds) != 1) return false;
        char chunk[256];
        const ssize_t n = read(host.fromHost, chunk, sizeof chunk);
        if (n <= 0) return false;
        host.pending.append(chunk, static_cast<size_t>(n));
    }
}

bool Lan::Await(int host, const std::string& word) {
    std::string line;
    while (ReadLine(hosts_[host], &line)) {
        if (line == word) return true;
        hosts_[host].heard.push_back(line);
    }
    error_ = "host " + std::to_string(host) + " ended or went silent before saying " + word;
    return false;
}

bool Lan::AwaitReady(int host) {
    if (!Await(host, "ready")) return false;
    const auto deadline = std::chrono::steady_clock::now() + kLearnWait;
    for (;;) {
        if (LinkIsOn(hosts_[host].port)) {
            Tell(host, "steps");
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            error_ = "the bridge's end of host " + std::to_string(host) + "'s link never came on";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool Lan::ListsMember(int host, const std::string& group) {
    const std::string table = Output("bridge mdb show dev " + bridge_);
    const std::string port = "port " + hosts_[host].port + " grp " + group;
    return table.find(port + " ") != std::string::npos || table.find(port + "\n") != std::string::npos;
}

bool Lan::LearnedMember(int host, const std::string& group) {
    const auto deadline = std::chrono::steady_clock::now() + kLearnWait;
    while (!ListsMember(host, group)) {
        if (std::chrono::steady_clock::now() > deadline) {
            error_ = "the bridge never learned that host " + std::to_string(host) + " joined " + group +
                     ":\n" + Output("bridge mdb show dev " + bridge_);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool Lan::Finish() {
    bool clean = true;
    for (size_t i = 0; i < hosts_.size(); ++i) {
        HostProcess& host = hosts_[i];
        if (host.ended || host.pid <= 0) continue;
        int status = 0;
        while (waitpid(host.pid, &status, 0) < 0 && errno == EINTR) {
        }
        host.ended = true;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            error_ += "host " + std::to_string(i) + " failed (status " + std::to_string(status) + ")\n";
            clean = false;
        }
    }
    return clean;
}

}  // namespace tide::testing
