// Lua values to host values and back, for member calls, properties and handler calls:
// integers (32 bits, never wrapped), floats, strings as bytes, symbols, property lists,
// plug-in objects, Lua tables as script objects, nil as the void value. Host's thread.
// Nothing here raises a Lua error, except the Lua library itself running out of memory.
#pragma once

#include <cstddef>
#include <lua.hpp>

#include "host/values.h"

namespace tide::tidehost {

// Why a Lua value could not become a host value. Plain storage, so that it survives
// until the caller has released what it made and raises the error.
struct Refusal {
    char text[200] = {};
};

// A new host value, with one reference for the caller, for the Lua value at `index`.
// False with `*refusal` saying why for values the host has no kind for (functions,
// threads, integers beyond 32 bits, ...); nothing is made then.
bool ToHostValue(lua_State* state, int index, host::HostValue* out, Refusal* refusal);

// Pushes the Lua form of `value`, which stays the caller's: a plug-in object gets a
// reference of its own, a property list is copied.
void PushHostValue(lua_State* state, const host::HostValue& value);

// Releases `count` values made for a call.
void ReleaseValues(lua_State* state, host::HostValue* values, int count);

// Property lists nested deeper than this arrive as nil: a list may hold itself.
constexpr int kDeepestList = 32;
void PushHostValueAt(lua_State* state, const host::HostValue& value, int depth);

}  // namespace tide::tidehost
