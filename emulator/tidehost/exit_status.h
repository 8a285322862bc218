// tidehost's exit statuses, as its --help and README name them.
#pragma once

namespace tide::tidehost {

enum ExitStatus : int {
    kExitSuccess = 0,      // the script ended (os.exit's own status passes through as it is)
    kExitLuaError = 1,     // the script raised an error, or could not be compiled
    kExitCannotStart = 2,  // no script, a bad option, or the script or a module cannot be loaded
    kExitLeftovers = 3,    // the script succeeded, but the host found something alive or misused
};

}  // namespace tide::tidehost
