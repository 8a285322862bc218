// What the libraries tidehost opens in a Lua state build the same way: the metatable of a
// kind of userdata, a weak-valued table in the registry, a library that is a global.
// Called while a session opens its state, on the host's thread.
#pragma once

#include <lua.hpp>

namespace tide::tidehost {

// The registry's metatable `name`, made with the `methods` (ended by {nullptr, nullptr}).
void AddMetatable(lua_State* state, const char* name, const luaL_Reg* methods);

// A table in the registry under `key` whose values are weak: what it keeps stays only as
// long as something else holds it.
void AddWeakTable(lua_State* state, const char* key);

// The global `name` with the `functions`, known to package.loaded as well, so that
// tracebacks name its functions (host.run, xtra.new).
void AddGlobalLibrary(lua_State* state, const char* name, const luaL_Reg* functions);

}  // namespace tide::tidehost
