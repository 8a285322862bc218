// The command line.
#include "emulator/tidehost/options.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <lua.hpp>

#include "emulator/module_loading.h"
#include "emulator/tidehost/console.h"

namespace tide::tidehost {

namespace {

// `folder` joined with a relative path, each leading "../" taking one folder off, so that
// what is shown names the folder plainly.
std::string Joined(std::string folder, std::string relative) {
    while (relative.rfind("../", 0) == 0) {
        const size_t separator = folder.find_last_of("\\/");
        if (separator == std::string::npos) break;
        folder.erase(separator);
        relative.erase(0, 3);
    }
    return folder + "/" + relative;
}

// Where the modules are when neither an option nor the environment names them: the
// library folder beside an installed tidehost (found from its own location), else where
// the build put them.
std::string BuiltInPluginDirectory() {
    const std::string folder = ProgramFolder();
    if (!folder.empty()) {
        const std::string installed = Joined(folder, TIDE_INSTALLED_PLUGINS);
        if (std::ifstream(emulator::ModuleFile(installed, "Tidelisten"))) return installed;
    }
    return TIDE_PLUGIN_DIR;
}

std::string DefaultPluginDirectory() {
    const char* fromEnvironment = std::getenv("TIDE_PLUGIN_DIR");
    if (fromEnvironment && *fromEnvironment) return fromEnvironment;
    return BuiltInPluginDirectory();
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
    options->pluginDirectory = DefaultPluginDirectory();
    int i = 1;
    for (; i < argc; ++i) {
        const char* word = argv[i];
        if (std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0) {
            options->help = true;
            return true;
        }
        if (std::strcmp(word, "--version") == 0) {
            options->version = true;
            return true;
        }
        if (std::strcmp(word, "--plugins") == 0) {
            if (i + 1 >= argc) {
                *error = "--plugins needs a folder";
                return false;
            }
            options->pluginDirectory = argv[++i];
            continue;
        }
        if (std::strcmp(word, "--no-address-table") == 0) {
            if (sizeof(void*) > sizeof(uint32_t)) {
                *error = "--no-address-table needs addresses of 32 bits, and this system's are wider";
                return false;
            }
            options->withoutAddressTable = true;
            continue;
        }
        if (std::strncmp(word, "--plugins=", 10) == 0) {
            options->pluginDirectory = word + 10;
            continue;
        }
        if (std::strcmp(word, "--") == 0) {
            ++i;
            break;
        }
        if (word[0] == '-' && word[1] != '\0') {
            *error = std::string("unknown option ") + word;
            return false;
        }
        break;
    }
    if (i >= argc) {
        *error = "no script given";
        return false;
    }
    options->script = argv[i];
    options->scriptIndex = i;
    return true;
}

std::string UsageText() {
    return std::string(
               "usage: tidehost [--plugins DIR] [--no-address-table] SCRIPT.lua [ARGS...]\n"
               "\n"
               "Runs a Lua 5.4 script against the Tidespeak and Tidelisten plug-ins, loaded\n"
               "through their exports as the original host loads them. The script finds its\n"
               "ARGS in `arg` (arg[0] is the script) and as `...`.\n"
               "\n"
               "  --plugins DIR         the folder holding the Tidelisten and Tidespeak modules\n"
               "                        (default: $TIDE_PLUGIN_DIR, else\n"
               "                        ") +
           BuiltInPluginDirectory() +
           ")\n"
           "  --no-address-table    offer the plug-ins no address table, as the original host\n"
           "                        does: scripts get addresses as they are (32-bit systems)\n"
           "  --help                this text\n"
           "  --version             tidehost's version\n"
           "  SCRIPT.lua            the script; - reads it from standard input\n"
           "\n"
           "In the script: xtra.new(name), xtra.list(); obj:Member(...), obj.prop.Name;\n"
           "symbol(name); host.run([seconds]), host.stop(), host.sleep(seconds), host.now(),\n"
           "host.stats(), host.peek(address, length), host.alloc(bytes), host.free(address),\n"
           "host.describe(value). See README.md.\n"
           "\n"
           "Exit status: 0 success (or os.exit's status), 1 a Lua error, 2 no script or no\n"
           "modules, 3 the script succeeded but the host found something left alive or misused.\n";
}

std::string VersionText() { return std::string("tidehost ") + TIDE_VERSION + " (" + LUA_RELEASE + ")\n"; }

}  // namespace tide::tidehost
