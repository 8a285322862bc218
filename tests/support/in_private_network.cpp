// tide_in_private_network CMD ARGS...: runs a command inside a private network namespace
// of its own (see private_network.h), so that tests made of several processes, or of a
// program that does not enter one itself such as tidehost, send nothing off the machine.
// The command gets a scratch folder of its own as TMPDIR, removed when it ends: Wine keeps
// its server's socket there, and that server makes the sockets of every Windows program
// that talks to it, so one still running elsewhere (in the machine's own network, or in an
// earlier namespace winding down) must never be found from inside.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/private_network.h"

namespace {

pid_t gChild = 0;

// A termination asked of the runner is the command's to act on.
void PassOn(int signal) {
    if (gChild > 0) kill(gChild, signal);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tide_in_private_network COMMAND [ARGS...]\n");
        return 2;
    }
    std::string error;
    if (!tide::testing::EnterPrivateNetwork(&error)) {
        std::fprintf(stderr, "tide_in_private_network: cannot enter a private network namespace: %s\n",
                     error.c_str());
        return 2;
    }
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tide-private-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::fprintf(stderr, "tide_in_private_network: cannot make a scratch folder: %s\n",
                     std::strerror(errno));
        return 2;
    }
    setenv("TMPDIR", pattern.c_str(), 1);
    const pid_t child = fork();
    if (child < 0) {
        std::fprintf(stderr, "tide_in_private_network: fork: %s\n", std::strerror(errno));
        return 2;
    }
    if (child == 0) {
        execvp(argv[1], argv + 1);
        std::fprintf(stderr, "tide_in_private_network: cannot run %s: %s\n", argv[1], std::strerror(errno));
        _exit(127);
    }
    // Ctrl-C reaches the command as well, which ends in its own way; the runner waits for
    // it to clear up after.
    gChild = child;
    signal(SIGINT, SIG_IGN);
    signal(SIGTERM, PassOn);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    std::system(("rm -rf '" + pattern + "'").c_str());
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
