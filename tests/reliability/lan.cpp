// The multi-host tests' network: a bridge, and host processes in namespaces of their own.
#include "tests/reliability/lan.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "tests/reliability/host_steps.h"

namespace tide::testing {

namespace {

// How long a host may stay silent before the test gives up on it; reached only when a
// host is stuck.
constexpr int kSilentHostMilliseconds = 60000;
constexpr auto kLearnWait = std::chrono::seconds(30);

int gLanNumber = 0;

}  // namespace

// The bridge's querier asks in IGMPv3, so that the hosts answer in IGMPv3. A host that has
// heard an IGMPv2 query answers in IGMPv2, which has report suppression: a host that hears
// another member's report for its group sends none of its own. For its first seconds,
// until it trusts what it learned, the bridge floods reports to every port, so of two
// hosts that join together the second hears the first and stays silent, and the bridge
// never learns it (until a query half a minute later).
Lan::Lan() : bridge_("tidelan" + std::to_string(++gLanNumber)) {
    if (!RunCommand("ip link add name " + bridge_ +
                    " type bridge mcast_snooping 1 mcast_querier 1 mcast_igmp_version 3") ||
        !RunCommand("ip link set " + bridge_ + " up"))
        error_ = "cannot make the bridge " + bridge_;
}

Lan::~Lan() {
    for (HostProcess& host : hosts_) {
        host.process.reset();  // killed if it still runs
        if (host.toHost >= 0) close(host.toHost);
        if (host.fromHost >= 0) close(host.fromHost);
    }
    RunCommand("ip link del " + bridge_);
}

int Lan::AddHost(const std::string& address, const std::string& steps) {
    const int number = static_cast<int>(hosts_.size());
    HostProcess host;
    host.port = bridge_ + "p" + std::to_string(number);
    const std::string link = bridge_ + "h" + std::to_string(number);

    int up[2], down[2];
    if (pipe2(up, O_CLOEXEC) != 0 || pipe2(down, O_CLOEXEC) != 0) {
        error_ = "pipe: " + std::string(std::strerror(errno));
        return -1;
    }
    ChildSetup setup;
    setup.filter = kHostStepsTest;
    setup.environment = {std::string(kHostStepsVariable) + "=" + steps,
                         std::string(kHostAddressVariable) + "=" + address,
                         std::string(kHostLinkVariable) + "=" + link};
    setup.descriptors = {{up[1], kHostToTestFd}, {down[0], kTestToHostFd}};
    setup.ownNetwork = true;
    host.process = std::make_unique<ChildProcess>(setup);
    close(up[1]);
    close(down[0]);
    host.fromHost = up[0];
    host.toHost = down[1];
    hosts_.push_back(std::move(host));
    const ChildProcess& process = *hosts_.back().process;
    if (!process.started()) {
        error_ = "cannot start host " + address;
        return -1;
    }

    const HostProcess& added = hosts_.back();
    const bool linked = RunCommand("ip link add " + added.port + " type veth peer name " + link) &&
                        RunCommand("ip link set " + added.port + " master " + bridge_) &&
                        RunCommand("ip link set " + added.port + " up") &&
                        RunCommand("ip link set " + link + " netns " + std::to_string(process.id()));
    if (!linked) {
        error_ = "cannot connect host " + address + " to the bridge";
        hosts_.back().process->Kill();
        return -1;
    }
    Tell(number, "linked");
    return number;
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
    error_ =
        "host " + std::to_string(host) + " ended or went silent before saying " + word + "\n" + Report(true);
    return false;
}

std::string Lan::Report(bool withHosts) {
    std::string report = "the bridge's ports, their states and the groups it learned:\n" +
                         CommandOutput("ip -s link show master " + bridge_ +
                                       "; bridge -d link show; "
                                       "bridge -d mdb show dev " +
                                       bridge_ + "; ip -d link show " + bridge_);
    for (size_t i = 0; withHosts && i < hosts_.size(); ++i) {
        const ChildProcess* process = hosts_[i].process.get();
        if (!process || !process->started()) continue;
        report += "host " + std::to_string(i) + "'s links:\n" +
                  CommandOutput("nsenter -t " + std::to_string(process->id()) + " -n ip -s link show");
    }
    return report;
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
    const std::string table = CommandOutput("bridge mdb show dev " + bridge_);
    const std::string port = "port " + hosts_[host].port + " grp " + group;
    return table.find(port + " ") != std::string::npos || table.find(port + "\n") != std::string::npos;
}

bool Lan::LearnedMember(int host, const std::string& group) {
    const auto deadline = std::chrono::steady_clock::now() + kLearnWait;
    while (!ListsMember(host, group)) {
        if (std::chrono::steady_clock::now() > deadline) {
            error_ = "the bridge never learned that host " + std::to_string(host) + " joined " + group +
                     ":\n" + Report(true);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool Lan::Finish() {
    bool clean = true;
    for (size_t i = 0; i < hosts_.size(); ++i) {
        ChildProcess* process = hosts_[i].process.get();
        if (!process || !process->started()) continue;
        if (process->Wait() != ChildEnd::kSucceeded) {
            error_ +=
                "host " + std::to_string(i) + " failed (status " + std::to_string(process->status()) + ")\n";
            clean = false;
        }
    }
    if (!clean) error_ += Report(false);  // the hosts have ended
    return clean;
}

}  // namespace tide::testing
