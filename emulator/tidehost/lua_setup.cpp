// The shared steps of opening tidehost's libraries in a Lua state.
#include "emulator/tidehost/lua_setup.h"

namespace tide::tidehost {

void AddMetatable(lua_State* state, const char* name, const luaL_Reg* methods) {
    luaL_newmetatable(state, name);
    luaL_setfuncs(state, methods, 0);
    lua_pop(state, 1);
}

void AddWeakTable(lua_State* state, const char* key) {
    lua_newtable(state);
    lua_createtable(state, 0, 1);
    lua_pushliteral(state, "v");
    lua_setfield(state, -2, "__mode");
    lua_setmetatable(state, -2);
    lua_setfield(state, LUA_REGISTRYINDEX, key);
}

void AddGlobalLibrary(lua_State* state, const char* name, const luaL_Reg* functions) {
    lua_newtable(state);
    luaL_setfuncs(state, functions, 0);
    luaL_getsubtable(state, LUA_REGISTRYINDEX, LUA_LOADED_TABLE);
    lua_pushvalue(state, -2);
    lua_setfield(state, -2, name);
    lua_pop(state, 1);
    lua_setglobal(state, name);
}

}  // namespace tide::tidehost
