// Symbols in Lua: symbol("name") makes one, the host's symbol values arrive as one.
// Symbols are interned ignoring ASCII case (symbol("onText") and symbol("ONTEXT") are the
// same value, usable as one table key), print as #name, and keep the first spelling.
// Host's thread only.
#pragma once

#include <cstddef>
#include <lua.hpp>

namespace tide::tidehost {

// The global `symbol` and the symbols' metatable.
void OpenSymbols(lua_State* state);
// Pushes the symbol of `name`.
void PushSymbol(lua_State* state, const char* name, size_t length);
// The name of the symbol at `index`; null when the value is not a symbol.
const char* ToSymbolName(lua_State* state, int index, size_t* length);

}  // namespace tide::tidehost
