// Interrupts: a flag for the waiting code, and a hook that stops running Lua code, the
// way the standalone Lua interpreter does it.
#include "emulator/tidehost/interrupt.h"

#include <csignal>

namespace tide::tidehost {

namespace {

volatile std::sig_atomic_t gInterrupted = 0;
volatile std::sig_atomic_t gWaiting = 0;
lua_State* volatile gState = nullptr;

void StopScript(lua_State* state, lua_Debug*) {
    lua_sethook(state, nullptr, 0, 0);
    luaL_error(state, "interrupted");
}

void OnInterrupt(int signal) {
    gInterrupted = 1;
    std::signal(signal, SIG_DFL);  // a second one ends the process
    lua_State* state = gState;
    if (!gWaiting && state) lua_sethook(state, StopScript, LUA_MASKCALL | LUA_MASKRET | LUA_MASKCOUNT, 1);
}

}  // namespace

void InstallInterruptHandler(lua_State* state) {
    gState = state;
#ifdef _WIN32
    // The C runtime turns Ctrl-C into SIGINT, handled on a thread of its own; setting a
    // Lua hook is safe from there, as from a signal handler.
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
#else
    // Without SA_RESTART, so that a wait in a system call ends at once.
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
}

void RemoveInterruptHandler() { gState = nullptr; }

bool Interrupted() { return gInterrupted != 0; }

WaitingForHost::WaitingForHost() : previous_(gWaiting) { gWaiting = 1; }
WaitingForHost::~WaitingForHost() { gWaiting = previous_; }

}  // namespace tide::tidehost
