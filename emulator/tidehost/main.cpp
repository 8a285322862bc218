// tidehost: loads Tidelisten and Tidespeak into the emulated host and runs a Lua
// script that works their objects as a script of the original host would. The main
// thread is the host's thread; the only other threads are the plug-ins' receive threads.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <lua.hpp>
#include <string>
#include <vector>

#include "emulator/tidehost/console.h"
#include "emulator/tidehost/exit_status.h"
#include "emulator/tidehost/interrupt.h"
#include "emulator/tidehost/options.h"
#include "emulator/tidehost/session.h"

namespace tide::tidehost {

namespace {

// The message handler of the script's main call: the message and a traceback. A
// handler's failure comes with the traceback of where it happened already.
int Traceback(lua_State* state) {
    if (lua_touserdata(state, 1) == ExitRequestMarker()) return 1;
    const char* message = lua_tostring(state, 1);
    if (!message) {
        if (luaL_callmeta(state, 1, "__tostring") && lua_type(state, -1) == LUA_TSTRING) return 1;
        message = lua_pushfstring(state, "(error object is a %s value)", luaL_typename(state, 1));
    }
    if (std::strstr(message, "\nstack traceback:")) return 1;
    luaL_traceback(state, state, message, 1);
    return 1;
}

// `arg` as the standalone interpreter makes it: the script at 0, its arguments from 1,
// tidehost and its options at negative indexes.
void SetArguments(lua_State* state, int argc, char** argv, int scriptIndex) {
    lua_createtable(state, argc - scriptIndex - 1, scriptIndex + 1);
    for (int i = 0; i < argc; ++i) {
        lua_pushstring(state, argv[i]);
        lua_rawseti(state, -2, i - scriptIndex);
    }
    lua_setglobal(state, "arg");
}

int RunScript(const Options& options, int argc, char** argv) {
    Session session(!options.withoutAddressTable);
    lua_State* state = session.OpenLua();
    if (!state) {
        std::fprintf(stderr, "tidehost: cannot make a Lua state\n");
        return kExitCannotStart;
    }
    const char* script = options.script == "-" ? nullptr : options.script.c_str();
    lua_pushcfunction(state, Traceback);
    const int loaded = luaL_loadfile(state, script);
    if (loaded != LUA_OK) {
        std::fprintf(stderr, "tidehost: %s\n", lua_tostring(state, -1));
        return session.Finish(loaded == LUA_ERRFILE ? kExitCannotStart : kExitLuaError, stderr);
    }
    std::string error;
    if (!session.LoadModules(options.pluginDirectory, &error)) {
        std::fprintf(stderr, "tidehost: %s\n", error.c_str());
        return session.Finish(kExitCannotStart, stderr);
    }
    SetArguments(state, argc, argv, options.scriptIndex);
    const int count = argc - options.scriptIndex - 1;
    if (!lua_checkstack(state, count)) {
        std::fprintf(stderr, "tidehost: too many arguments for the script\n");
        return session.Finish(kExitCannotStart, stderr);
    }
    for (int i = options.scriptIndex + 1; i < argc; ++i) lua_pushstring(state, argv[i]);

    InstallInterruptHandler(state);
    int status = kExitSuccess;
    if (lua_pcall(state, count, 0, 1) != LUA_OK) {
        if (lua_touserdata(state, -1) == ExitRequestMarker()) {
            status = session.requestedExit();
        } else {
            const char* message = lua_tostring(state, -1);
            std::fprintf(stderr, "tidehost: %s\n", message ? message : "(an error without a message)");
            status = kExitLuaError;
        }
    }
    std::fflush(stdout);
    return session.Finish(status, stderr);
}

}  // namespace

}  // namespace tide::tidehost

int main(int systemArgc, char** systemArgv) {
    using namespace tide::tidehost;
    std::setlocale(LC_ALL, "");
    UseByteStreams();
    std::vector<std::string> words = CommandLineWords(systemArgc, systemArgv);
    std::vector<char*> wordPointers;
    for (std::string& word : words) wordPointers.push_back(&word[0]);
    wordPointers.push_back(nullptr);
    const int argc = static_cast<int>(words.size());
    char** argv = wordPointers.data();
    // Lines as they come, also into a pipe: listeners are watched while they run.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "tidehost: %s (tidehost --help says how)\n", error.c_str());
        return kExitCannotStart;
    }
    if (options.help) {
        std::fputs(UsageText().c_str(), stdout);
        return kExitSuccess;
    }
    if (options.version) {
        std::fputs(VersionText().c_str(), stdout);
        return kExitSuccess;
    }
    return RunScript(options, argc, argv);
}
