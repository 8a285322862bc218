// tidehost's command line: tidehost [--plugins DIR] [--no-address-table] SCRIPT.lua
// [ARGS...]. Read once by main before anything else happens.
#pragma once

#include <string>
#include <vector>

namespace tide::tidehost {

struct Options {
    bool help = false;
    bool version = false;
    // --no-address-table: the host offers the plug-ins no address table, as the
    // original host does, and addresses go to scripts as they are. Only where they fit in
    // 32 bits.
    bool withoutAddressTable = false;
    // Where the Tidelisten and Tidespeak modules are: --plugins, else $TIDE_PLUGIN_DIR,
    // else the library folder of an installed tidehost, else the folder the build put
    // them in.
    std::string pluginDirectory;
    // The script's path; "-" reads it from standard input.
    std::string script;
    // The position in argv of the script; what follows are its arguments.
    int scriptIndex = 0;
};

// False with `*error` for a command line that names no script or an unknown option.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error);

std::string UsageText();
std::string VersionText();

}  // namespace tide::tidehost
