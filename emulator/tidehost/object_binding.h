// Plug-in objects in Lua, and the global `xtra` that makes them. An object is a full
// userdata holding the object's host value with one reference, released when Lua
// collects it. obj:Name(...) calls a member through CallMember, obj.prop.Name reads and
// writes properties, tostring(obj) is the object's string form, and two objects are
// equal when they are the same script object. Host's thread only.
#pragma once

#include <lua.hpp>

#include "host/values.h"

namespace tide::tidehost {

// The global `xtra` (new, list) and the metatables of objects and their properties.
void OpenObjects(lua_State* state);
// Pushes an object for `value`, taking over one reference the caller held.
void PushObject(lua_State* state, const host::HostValue& value);
// The host value of the object at `index` (borrowed); null for any other value.
const host::HostValue* ToObjectValue(lua_State* state, int index);

}  // namespace tide::tidehost
