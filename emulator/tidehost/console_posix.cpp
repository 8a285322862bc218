// The command line and streams on POSIX systems: they are already what tidehost needs.
#include "emulator/tidehost/console.h"

namespace tide::tidehost {

std::vector<std::string> CommandLineWords(int argc, char** argv) { return {argv, argv + argc}; }

void UseByteStreams() {}

}  // namespace tide::tidehost
