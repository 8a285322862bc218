// The global `host`: time and notifications (run, stop, sleep, now), the books (stats),
// the address table (peek, alloc, free) and describe; and os.exit made to end the run
// in order. Host's thread only.
#pragma once

#include <lua.hpp>

namespace tide::tidehost {

void OpenHostLibrary(lua_State* state);

}  // namespace tide::tidehost
