// The command line and the standard streams as tidehost needs them on every system: the
// words in UTF-8, and output that passes bytes as they stand, so that a script or tool
// drives tidehost.exe exactly as it drives tidehost (console_posix.cpp,
// console_windows.cpp). Called once from main.
#pragma once

#include <string>
#include <vector>

namespace tide::tidehost {

// The words of the command line, the program's name first, in UTF-8 (on Windows from the
// wide command line, not from the ANSI code page).
std::vector<std::string> CommandLineWords(int argc, char** argv);

// The folder the running program's file is in, in UTF-8; empty when the system cannot say.
std::string ProgramFolder();

// Standard output and error write bytes as they are given (on Windows: no carriage return
// is added before a line feed).
void UseByteStreams();

}  // namespace tide::tidehost
