// The command line and streams on POSIX systems: they are already what tidehost needs.
#include <unistd.h>

#include "emulator/tidehost/console.h"

namespace tide::tidehost {

std::vector<std::string> CommandLineWords(int argc, char** argv) { return {argv, argv + argc}; }

std::string ProgramFolder() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    const std::string program(path, static_cast<size_t>(length));
    const size_t slash = program.find_last_of('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

void UseByteStreams() {}

}  // namespace tide::tidehost
