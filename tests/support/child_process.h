// Running the current test program again as a child process, for tests that need a peer
// in another process: a sender of another host, a sender killed in the middle of a
// message, one host among several on a bridge. The child runs the tests its filter names
// (a test meant for a child skips itself unless the child's variable is set) and, unless
// asked otherwise, inherits the private network. Test's thread only.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tide::testing {

// What a child is started with, besides this program and its environment.
struct ChildSetup {
    std::string filter;                    // passed as --gtest_filter
    std::vector<std::string> environment;  // NAME=VALUE entries, replacing any of those names
    // POSIX only: descriptors of this process the child gets under other numbers (ours,
    // the child's). A descriptor opened with close-on-exec reaches the child only so.
    std::vector<std::pair<int, int>> descriptors;
    // Linux only: the child runs in a network namespace of its own, empty (not even
    // loopback is up), which its test main takes for a private one. It is in there by the
    // time the child has started, so that links can be moved in by its id().
    bool ownNetwork = false;
};

// How a child ended.
enum class ChildEnd {
    kUnknown,    // it did not start, or could not be waited for
    kSucceeded,  // it exited with status 0
    kFailed,     // it exited with another status, or was ended otherwise than by Kill()
    kKilled,     // Kill() ended it
};

class ChildProcess {
public:
    // Starts the child without waiting for it; started() tells whether it runs.
    explicit ChildProcess(const ChildSetup& setup);
    // Kills the child if it still runs, and waits for it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return id_ > 0; }
    // The child's process id; -1 when it did not start.
    long id() const { return id_; }
    // Waits for the child to end; at once, with the same answer, once it has.
    ChildEnd Wait();
    // Ends the child at once, unless it has ended already.
    void Kill();
    // What Wait() found: waitpid's status on POSIX, the exit code on Windows.
    int status() const { return status_; }

private:
    long id_ = -1;
    void* handle_ = nullptr;  // Windows: the process's handle
    bool killed_ = false;
    bool waited_ = false;
    ChildEnd end_ = ChildEnd::kUnknown;
    int status_ = 0;
};

// Runs this program again with `--gtest_filter=FILTER` and `variable`=`value` in its
// environment, and waits for it. True when it exited with status 0.
inline bool RunTestsAgain(const std::string& filter, const std::string& variable, const std::string& value) {
    ChildSetup setup;
    setup.filter = filter;
    setup.environment = {variable + "=" + value};
    ChildProcess child(setup);
    return child.Wait() == ChildEnd::kSucceeded;
}

}  // namespace tide::testing
