// tide_in_private_network CMD ARGS...: runs a command inside a private network namespace
// of its own (see private_network.h), so that tests made of several processes, or of a
// program that does not enter one itself such as tidehost, send nothing off the machine.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/support/private_network.h"

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
    execvp(argv[1], argv + 1);
    std::fprintf(stderr, "tide_in_private_network: cannot run %s: %s\n", argv[1], std::strerror(errno));
    return 127;
}
