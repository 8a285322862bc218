// Property lists in Lua: read-only, ordered copies of the host's lists (a handler's list
// may be released as soon as the handler returns). list.data and list["remote_host"]
// find an entry by name (ASCII case ignored), list[n] the nth item, #list counts them,
// list:pairs() walks them in order. Host's thread only.
#pragma once

#include <lua.hpp>

#include "emulator/tidehost/lua_values.h"
#include "host/values.h"

namespace tide::tidehost {

void OpenPropertyLists(lua_State* state);
// Pushes a copy of the host list `list` (borrowed).
void PushPropertyList(lua_State* state, const host::HostValue& list, int depth);
bool IsPropertyList(lua_State* state, int index);
// A new host list with the same entries (symbol keys for names), one reference for the
// caller. False with `*refusal` when an entry cannot become a host value.
bool ToHostPropertyList(lua_State* state, int index, host::HostValue* out, Refusal* refusal);

}  // namespace tide::tidehost
