// Ctrl-C (SIGINT) and SIGTERM for tidehost. The first one ends host.run and host.sleep
// (they answer "interrupted" from then on), or, while Lua code runs outside them, raises
// "interrupted" in the script, so that the run still ends in order with its objects
// released. A second one ends the process at once. Set up once from main.
#pragma once

#include <lua.hpp>

namespace tide::tidehost {

void InstallInterruptHandler(lua_State* state);
// Forgets the Lua state before it closes.
void RemoveInterruptHandler();
bool Interrupted();

// While one exists, an interrupt only sets the flag: the host is being waited for and
// the waiting code looks at the flag itself.
class WaitingForHost {
public:
    WaitingForHost();
    ~WaitingForHost();
    WaitingForHost(const WaitingForHost&) = delete;
    WaitingForHost& operator=(const WaitingForHost&) = delete;

private:
    int previous_;
};

}  // namespace tide::tidehost
