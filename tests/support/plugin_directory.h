// Where the modules to load are, for the tests and the fuzz targets alike: the folder
// $TIDE_PLUGIN_DIR names, else the one the build put them in.
#pragma once

#include <cstdlib>
#include <string>

namespace tide::testing {

inline std::string PluginDirectory() {
    const char* dir = std::getenv("TIDE_PLUGIN_DIR");
    return dir && *dir ? dir : TIDE_PLUGIN_DIR;
}

}  // namespace tide::testing
