// Symbols: full userdata with the name as their one user value, interned in a
// weak-valued registry table under the name in lower case.
#include "emulator/tidehost/symbols.h"

#include <string>

#include "emulator/symbol_table.h"
#include "emulator/tidehost/lua_setup.h"

namespace tide::tidehost {

namespace {

constexpr const char* kSymbolMeta = "tidehost.symbol";
constexpr const char* kInterned = "tidehost.symbols";

void PushFolded(lua_State* state, const char* name, size_t length) {
    const std::string folded = emulator::FoldAsciiCase(std::string_view(name, length));
    lua_pushlstring(state, folded.data(), folded.size());
}

int NewSymbol(lua_State* state) {
    size_t length = 0;
    if (ToSymbolName(state, 1, &length)) {
        lua_settop(state, 1);
        return 1;
    }
    const char* name = luaL_checklstring(state, 1, &length);
    luaL_argcheck(state, length > 0, 1, "a symbol needs a name");
    PushSymbol(state, name, length);
    return 1;
}

int SymbolToString(lua_State* state) {
    size_t length = 0;
    const char* name = ToSymbolName(state, 1, &length);
    lua_pushfstring(state, "#%s", name ? name : "?");
    return 1;
}

int SymbolEquals(lua_State* state) {
    size_t a = 0;
    size_t b = 0;
    const char* first = ToSymbolName(state, 1, &a);
    const char* second = ToSymbolName(state, 2, &b);
    lua_pushboolean(
        state, first && second &&
                   emulator::SymbolTable::SameName(std::string_view(first, a), std::string_view(second, b)));
    return 1;
}

int SymbolIndex(lua_State* state) {
    const char* key = lua_tostring(state, 2);
    if (key && std::string_view(key) == "name") {
        lua_getiuservalue(state, 1, 1);
        return 1;
    }
    lua_pushnil(state);
    return 1;
}

const luaL_Reg kSymbolMethods[] = {
    {"__tostring", SymbolToString},
    {"__eq", SymbolEquals},
    {"__index", SymbolIndex},
    {nullptr, nullptr},
};

}  // namespace

void OpenSymbols(lua_State* state) {
    AddMetatable(state, kSymbolMeta, kSymbolMethods);
    AddWeakTable(state, kInterned);
    lua_pushcfunction(state, NewSymbol);
    lua_setglobal(state, "symbol");
}

void PushSymbol(lua_State* state, const char* name, size_t length) {
    lua_getfield(state, LUA_REGISTRYINDEX, kInterned);
    PushFolded(state, name, length);
    lua_pushvalue(state, -1);
    if (lua_rawget(state, -3) != LUA_TNIL) {
        lua_replace(state, -3);
        lua_pop(state, 1);
        return;
    }
    lua_pop(state, 1);
    lua_newuserdatauv(state, 0, 1);
    luaL_setmetatable(state, kSymbolMeta);
    lua_pushlstring(state, name, length);
    lua_setiuservalue(state, -2, 1);
    // interned[folded] = symbol, leaving the symbol alone on the stack
    lua_pushvalue(state, -1);
    lua_rotate(state, -4, 1);
    lua_rawset(state, -3);
    lua_pop(state, 1);
}

const char* ToSymbolName(lua_State* state, int index, size_t* length) {
    if (!luaL_testudata(state, index, kSymbolMeta)) return nullptr;
    lua_getiuservalue(state, index, 1);
    const char* name = lua_tolstring(state, -1, length);
    // The symbol keeps its name alive, so the pointer outlives the pop.
    lua_pop(state, 1);
    return name;
}

}  // namespace tide::tidehost
