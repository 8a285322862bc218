// Calling a Lua table's handlers from the host. Everything that may raise runs inside
// lua_pcall: finding the handler, pushing the arguments, the handler itself and the
// conversion of its result. The error and its traceback are kept in the session.
#include "emulator/tidehost/lua_script_object.h"

#include <string>

#include "emulator/host.h"
#include "emulator/symbol_table.h"
#include "emulator/tidehost/lua_values.h"
#include "emulator/tidehost/session.h"

namespace tide::tidehost {

namespace {

// How far handlers are looked for along a chain of __index tables (class-style
// objects keep their handlers in the metatable's __index).
constexpr int kDeepestClassChain = 16;
// Stack room a handler call needs beyond its arguments.
constexpr int kStackRoom = 8;

struct HandlerCall {
    const LuaScriptObject* object;
    const char* name;
    int32_t argc;
    const host::HostValue* argv;
    host::HostValue result;
    bool found;
};

bool IsCallable(lua_State* state, int index) {
    if (lua_type(state, index) == LUA_TFUNCTION) return true;
    if (luaL_getmetafield(state, index, "__call") == LUA_TNIL) return false;
    lua_pop(state, 1);
    return true;
}

// Scans the string keys of the table on top for `name`, ASCII case ignored. Leaves
// the handler on top (above the table) and answers true when found.
bool ScanForHandler(lua_State* state, const char* name) {
    const int table = lua_gettop(state);
    lua_pushnil(state);
    while (lua_next(state, table) != 0) {
        if (lua_type(state, -2) == LUA_TSTRING &&
            emulator::SymbolTable::SameName(lua_tostring(state, -2), name) && IsCallable(state, -1)) {
            lua_remove(state, -2);
            return true;
        }
        lua_pop(state, 1);
    }
    return false;
}

// Pushes the handler `name` of the table at `table`: first the exact name as Lua finds
// it (metatables included), then any spelling along the table's __index chain.
bool PushHandler(lua_State* state, int table, const char* name) {
    lua_getfield(state, table, name);
    if (IsCallable(state, -1)) return true;
    lua_pop(state, 1);
    lua_pushvalue(state, table);
    for (int depth = 0; depth < kDeepestClassChain; ++depth) {
        if (ScanForHandler(state, name)) {
            lua_remove(state, -2);
            return true;
        }
        if (luaL_getmetafield(state, -1, "__index") != LUA_TTABLE) {
            if (lua_gettop(state) > table + 1) lua_pop(state, 1);
            break;
        }
        lua_remove(state, -2);
    }
    lua_pop(state, 1);
    return false;
}

int MessageHandler(lua_State* state) {
    if (lua_touserdata(state, 1) == ExitRequestMarker()) return 1;
    const char* message = lua_tostring(state, 1);
    if (!message) {
        message = lua_pushfstring(state, "(error object is a %s value)", luaL_typename(state, 1));
    }
    luaL_traceback(state, state, message, 1);
    return 1;
}

int CallHandler(lua_State* state) {
    auto* call = static_cast<HandlerCall*>(lua_touserdata(state, 1));
    call->object->PushTable(state);
    const int table = lua_gettop(state);
    if (lua_type(state, table) != LUA_TTABLE || !PushHandler(state, table, call->name)) return 0;
    call->found = true;
    lua_pushvalue(state, table);
    for (int32_t i = 1; i < call->argc; ++i) PushHostValue(state, call->argv[i]);
    lua_call(state, call->argc, 1);
    Refusal refusal;
    if (!ToHostValue(state, -1, &call->result, &refusal)) {
        return luaL_error(state, "handler %s returned a value the host cannot take: %s", call->name,
                          refusal.text);
    }
    return 0;
}

}  // namespace

LuaScriptObject::LuaScriptObject(Session& session, lua_State* state, int index)
    : session_(session), link_(session.link()), table_(lua_topointer(state, index)) {
    lua_pushvalue(state, index);
    reference_ = luaL_ref(state, LUA_REGISTRYINDEX);
}

LuaScriptObject::~LuaScriptObject() {
    if (link_->state) luaL_unref(link_->state, LUA_REGISTRYINDEX, reference_);
}

void LuaScriptObject::PushTable(lua_State* state) const {
    if (link_->state) {
        lua_rawgeti(state, LUA_REGISTRYINDEX, reference_);
    } else {
        lua_pushnil(state);
    }
}

host::Status LuaScriptObject::Invoke(emulator::Host& host, host::HostSymbol handler, int32_t argc,
                                     const host::HostValue* argv, host::HostValue* result) {
    if (!link_->state) return host::kNoSuchMember;
    lua_State* state = session_.activeThread();
    if (argc < 1 || !lua_checkstack(state, argc + kStackRoom)) return host::kNoMemory;
    // Symbol names stay where they are while the handler makes more symbols.
    const std::string& name = host.SymbolName(handler);
    HandlerCall call{this, name.c_str(), argc, argv, host::HostValue{{0, 0}}, false};

    const int base = lua_gettop(state);
    lua_pushcfunction(state, MessageHandler);
    lua_pushcfunction(state, CallHandler);
    lua_pushlightuserdata(state, &call);
    session_.EnterHandler();
    const int outcome = lua_pcall(state, 1, 0, base + 1);
    session_.LeaveHandler();
    if (outcome != LUA_OK) {
        if (lua_touserdata(state, -1) == ExitRequestMarker()) {
            session_.RecordExitRequest(session_.requestedExit());
        } else {
            size_t length = 0;
            const char* text = lua_tolstring(state, -1, &length);
            session_.RecordHandlerFailure("in handler " + name + ": " +
                                          std::string(text ? text : "?", length));
        }
        lua_settop(state, base);
        host.Release(call.result);
        return kHandlerRaisedError;
    }
    lua_settop(state, base);
    if (!call.found) {
        session_.WarnMissingHandler(name);
        return host::kNoSuchMember;
    }
    *result = call.result;
    return host::kOk;
}

}  // namespace tide::tidehost
