// Lua values to host values and back.
#include "emulator/tidehost/lua_values.h"

#include <cinttypes>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "emulator/tidehost/lua_script_object.h"
#include "emulator/tidehost/object_binding.h"
#include "emulator/tidehost/property_list.h"
#include "emulator/tidehost/session.h"
#include "emulator/tidehost/symbols.h"

namespace tide::tidehost {

namespace {

bool Refuse(Refusal* refusal, const char* format, const char* detail) {
    std::snprintf(refusal->text, sizeof refusal->text, format, detail);
    return false;
}

bool IntegerToHost(Session& session, lua_Integer n, host::HostValue* out, Refusal* refusal) {
    if (n < INT32_MIN || n > INT32_MAX) {
        char number[32];
        std::snprintf(number, sizeof number, "%lld", static_cast<long long>(n));
        return Refuse(refusal, "the integer %s does not fit in 32 bits", number);
    }
    *out = session.host().MakeInteger(static_cast<int32_t>(n));
    return true;
}

bool UserdataToHost(lua_State* state, int index, host::HostValue* out, Refusal* refusal) {
    Session& session = Session::Of(state);
    size_t length = 0;
    if (const char* name = ToSymbolName(state, index, &length)) {
        *out = session.host().MakeSymbolValue(std::string_view(name, length));
        return true;
    }
    if (const host::HostValue* object = ToObjectValue(state, index)) {
        if (!session.host().AddRef(*object)) return Refuse(refusal, "%s", "the object is no longer alive");
        *out = *object;
        return true;
    }
    if (IsPropertyList(state, index)) return ToHostPropertyList(state, index, out, refusal);
    return Refuse(refusal, "%s has no host value", luaL_typename(state, index));
}

}  // namespace

bool ToHostValue(lua_State* state, int index, host::HostValue* out, Refusal* refusal) {
    Session& session = Session::Of(state);
    index = lua_absindex(state, index);
    switch (lua_type(state, index)) {
        case LUA_TNONE:
        case LUA_TNIL:
            *out = host::HostValue{{0, 0}};
            return true;
        case LUA_TBOOLEAN:
            // The host's scripts have no booleans of their own: true and false are 1 and 0.
            *out = session.host().MakeInteger(lua_toboolean(state, index) ? 1 : 0);
            return true;
        case LUA_TNUMBER:
            if (lua_isinteger(state, index))
                return IntegerToHost(session, lua_tointeger(state, index), out, refusal);
            *out = session.host().MakeFloat(lua_tonumber(state, index));
            return true;
        case LUA_TSTRING: {
            size_t length = 0;
            const char* bytes = lua_tolstring(state, index, &length);
            *out = session.host().MakeString(std::string_view(bytes, length));
            return true;
        }
        case LUA_TTABLE:
            *out = session.ScriptObjectFor(state, index);
            return true;
        case LUA_TUSERDATA:
            return UserdataToHost(state, index, out, refusal);
        default:
            return Refuse(refusal, "a %s has no host value", luaL_typename(state, index));
    }
}

void PushHostValue(lua_State* state, const host::HostValue& value) { PushHostValueAt(state, value, 0); }

void PushHostValueAt(lua_State* state, const host::HostValue& value, int depth) {
    emulator::Host& host = Session::Of(state).host();
    // Read from the slot before anything is pushed: pushing may run Lua's collector,
    // whose finalizers may release or make values.
    const emulator::ValueSlot* slot = host.Find(value);
    if (!slot) {
        lua_pushnil(state);
        return;
    }
    switch (slot->kind) {
        case host::kTypeInteger:
            lua_pushinteger(state, slot->integer);
            return;
        case host::kTypeFloat:
            lua_pushnumber(state, slot->number);
            return;
        case host::kTypeString:
            // Lua copies the bytes before it may collect.
            lua_pushlstring(state, slot->text->data(), slot->text->size());
            return;
        case host::kTypeSymbol: {
            // Symbol names never move (SymbolTable::Name).
            const std::string& name = host.SymbolName(slot->symbol);
            PushSymbol(state, name.data(), name.size());
            return;
        }
        case host::kTypePropertyList:
            if (depth >= kDeepestList) {
                lua_pushnil(state);
                return;
            }
            PushPropertyList(state, value, depth);
            return;
        case host::kTypeScriptObject: {
            if (auto* table = dynamic_cast<LuaScriptObject*>(slot->script.get())) {
                table->PushTable(state);
            } else {
                lua_pushnil(state);
            }
            return;
        }
        case host::kTypePluginObject:
            if (host.AddRef(value)) {
                PushObject(state, value);
            } else {
                lua_pushnil(state);
            }
            return;
        default:
            lua_pushnil(state);
            return;
    }
}

void ReleaseValues(lua_State* state, host::HostValue* values, int count) {
    emulator::Host& host = Session::Of(state).host();
    for (int i = 0; i < count; ++i) host.Release(values[i]);
}

}  // namespace tide::tidehost
