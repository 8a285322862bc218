// A small network of hosts for the multi-host tests: a bridge in the test's own private
// network namespace, and host processes, each in a network namespace of its own with one
// veth pair to the bridge, like machines on one switch. Each host process re-runs this
// test binary, which runs the steps it is given (see host_steps.h). Test thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace tide::testing {

class Lan {
public:
    // Makes the bridge, with IGMP snooping and a querier, so that multicast reaches a host
    // port only once the bridge has seen that host join. `ok()` tells whether it worked.
    Lan();
    // Ends any host process still running and removes the bridge.
    ~Lan();
    Lan(const Lan&) = delete;
    Lan& operator=(const Lan&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // Starts a host with the IPv4 address `address` (on a /24) that runs `steps`, moves
    // its end of the link into its namespace and tells it "linked"; answers its number,
    // or -1 (and error()) when it could not be started.
    int AddHost(const std::string& address, const std::string& steps);

    // Waits until a host has said "ready" and the bridge's end of its link is on too, then
    // lets the host begin its steps.
    bool AwaitReady(int host);

    // Sends `word` to a host's "await" step.
    void Tell(int host, const std::string& word);
    // Waits for a host's "tell" step to send `word`; the lines it sent before are kept in
    // heard(). False when the host ended or went silent for too long.
    bool Await(int host, const std::string& word);
    const std::vector<std::string>& heard(int host) const { return hosts_[host].heard; }

    // Waits until the bridge has learned from IGMP that `host` is a member of `group`.
    bool LearnedMember(int host, const std::string& group);
    // Whether the bridge lists `host` as a member of `group` now.
    bool ListsMember(int host, const std::string& group);

    // Waits for every host to end; true when all ended with status 0. Failures are
    // described in error().
    bool Finish();

private:
    struct HostProcess {
        std::unique_ptr<ChildProcess> process;
        int toHost = -1;
        int fromHost = -1;
        std::string port;  // the bridge end of its veth pair
        std::string pending;
        std::vector<std::string> heard;
    };
    bool ReadLine(HostProcess& host, std::string* line);
    // What the bridge sees (each port's counters and state, the groups it learned) and,
    // `withHosts`, the links of every host (all still running). Part of error() when a
    // host failed, to tell a datagram the sender never sent from one the bridge never
    // forwarded.
    std::string Report(bool withHosts);

    std::string bridge_;
    std::string error_;
    std::vector<HostProcess> hosts_;
};

}  // namespace tide::testing
