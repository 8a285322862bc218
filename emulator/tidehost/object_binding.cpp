// Plug-in objects: members through a closure per name, properties through a small proxy,
// the string form, identity, and the collection that releases the object's reference.
// Every function that calls into a plug-in converts its arguments first, makes the call,
// releases what it made and only then raises an error, so that no Lua error passes
// through a plug-in and no host value is lost to one.
#include "emulator/tidehost/object_binding.h"

#include <string>

#include "emulator/symbol_table.h"
#include "emulator/tidehost/lua_setup.h"
#include "emulator/tidehost/lua_values.h"
#include "emulator/tidehost/session.h"

namespace tide::tidehost {

namespace {

constexpr const char* kObjectMeta = "tidehost.object";
constexpr const char* kPropertiesMeta = "tidehost.properties";
constexpr const char* kMemberCache = "tidehost.members";
// Arguments of one member call, the object itself not counted.
constexpr int kMostArguments = 64;

struct ObjectBox {
    host::HostValue value;
};

ObjectBox* CheckObject(lua_State* state, int index) {
    return static_cast<ObjectBox*>(luaL_checkudata(state, index, kObjectMeta));
}

// A member or property that names a handler (OnTextData, OnBinaryData, in any case)
// given a string at `index`: warned about, since the plug-in takes symbols only.
void WarnIfHandlerNamedByString(lua_State* state, const char* member, int index) {
    if (lua_type(state, index) != LUA_TSTRING) return;
    const std::string folded = emulator::FoldAsciiCase(member);
    if (folded != "ontextdata" && folded != "onbinarydata") return;
    Session::Of(state).WarnHandlerNamedByString(member, lua_tostring(state, index));
}

// "NoSuchMember (0x800407DF)" into plain storage, for an error raised afterwards.
struct StatusWords {
    char text[64];
};
StatusWords Describe(host::Status status) {
    StatusWords words{};
    const std::string text = emulator::StatusText(status);
    text.copy(words.text, sizeof words.text - 1);
    return words;
}

// Makes a host call from Lua with `state` as the thread calling into the host, so that
// handlers the call reaches run on it; the thread before is put back after.
template <class Call>
auto OnActiveThread(Session& session, lua_State* state, Call call) {
    lua_State* previous = session.SetActiveThread(state);
    auto outcome = call();
    session.SetActiveThread(previous);
    return outcome;
}

// Ends a member call or property access made from Lua: raises the failure of a handler it
// reached, turns a failing status into an error naming `what` and `name`, or pushes the
// result (when there is one). The result is released either way. Values pushed.
int AnswerToLua(lua_State* state, Session& session, host::Status status, const host::HostValue* result,
                const char* what, const char* name) {
    const host::HostValue value = result ? *result : host::HostValue{};
    if (session.handlerFailed()) {
        if (result) session.host().Release(value);
        return RaiseHandlerFailure(state);
    }
    if (status != host::kOk) {
        if (result) session.host().Release(value);
        const StatusWords words = Describe(status);
        return luaL_error(state, "%s %s: %s", what, name, words.text);
    }
    if (!result) return 0;
    PushHostValue(state, value);
    session.host().Release(value);
    return 1;
}

// obj:Name(args...): the closure's upvalue is the member's name.
int CallMember(lua_State* state) {
    const char* member = lua_tostring(state, lua_upvalueindex(1));
    if (!luaL_testudata(state, 1, kObjectMeta)) {
        return luaL_error(state, "member %s needs its object: call it as object:%s(...)", member, member);
    }
    const host::HostValue object = CheckObject(state, 1)->value;
    const int count = lua_gettop(state) - 1;
    if (count > kMostArguments)
        return luaL_error(state, "member %s: more than %d arguments", member, kMostArguments);

    host::HostValue arguments[kMostArguments];
    Refusal refusal;
    int made = 0;
    while (made < count && ToHostValue(state, made + 2, &arguments[made], &refusal)) ++made;
    if (made < count) {
        ReleaseValues(state, arguments, made);
        return luaL_error(state, "member %s, argument %d: %s", member, made + 1, refusal.text);
    }

    if (count >= 1) WarnIfHandlerNamedByString(state, member, 2);
    Session& session = Session::Of(state);
    const emulator::CallOutcome outcome = OnActiveThread(
        session, state, [&] { return session.calls().Call(object, member, arguments, count); });
    ReleaseValues(state, arguments, count);
    return AnswerToLua(state, session, outcome.status, &outcome.result, "member", member);
}

// Pushes the closure that calls member `name`; one per name, shared by all objects.
void PushMember(lua_State* state, int name) {
    lua_getfield(state, LUA_REGISTRYINDEX, kMemberCache);
    lua_pushvalue(state, name);
    if (lua_rawget(state, -2) == LUA_TFUNCTION) {
        lua_remove(state, -2);
        return;
    }
    lua_pop(state, 1);
    lua_pushvalue(state, name);
    lua_pushcclosure(state, CallMember, 1);
    lua_pushvalue(state, name);
    lua_pushvalue(state, -2);
    lua_rawset(state, -4);
    lua_remove(state, -2);
}

int ObjectIndex(lua_State* state) {
    CheckObject(state, 1);
    if (lua_type(state, 2) != LUA_TSTRING) {
        lua_pushnil(state);
        return 1;
    }
    if (std::string_view(lua_tostring(state, 2)) == "prop") {
        lua_newuserdatauv(state, 0, 1);
        luaL_setmetatable(state, kPropertiesMeta);
        lua_pushvalue(state, 1);
        lua_setiuservalue(state, -2, 1);
        return 1;
    }
    PushMember(state, 2);
    return 1;
}

int ObjectNewIndex(lua_State* state) {
    return luaL_error(state, "set properties through obj.prop.%s = value", luaL_optstring(state, 2, "Name"));
}

int ObjectToString(lua_State* state) {
    const host::HostValue object = CheckObject(state, 1)->value;
    Session& session = Session::Of(state);
    std::string form;
    if (session.host().IsAlive(object)) form = session.calls().StringForm(object);
    lua_pushlstring(state, form.data(), form.size());
    return 1;
}

int ObjectEquals(lua_State* state) {
    const ObjectBox* a = static_cast<const ObjectBox*>(luaL_testudata(state, 1, kObjectMeta));
    const ObjectBox* b = static_cast<const ObjectBox*>(luaL_testudata(state, 2, kObjectMeta));
    emulator::Host& host = Session::Of(state).host();
    host::Unknown* first = a ? host.ObjectOf(a->value) : nullptr;
    lua_pushboolean(state, first != nullptr && b != nullptr && first == host.ObjectOf(b->value));
    return 1;
}

int ObjectCollect(lua_State* state) {
    ObjectBox* box = CheckObject(state, 1);
    Session::Of(state).host().Release(box->value);
    box->value = host::HostValue{{0, 0}};
    return 0;
}

// The object behind a property proxy, left on the stack.
host::HostValue ProxiedObject(lua_State* state) {
    luaL_checkudata(state, 1, kPropertiesMeta);
    lua_getiuservalue(state, 1, 1);
    return CheckObject(state, -1)->value;
}

int PropertyRead(lua_State* state) {
    const host::HostValue object = ProxiedObject(state);
    const char* property = luaL_checkstring(state, 2);
    Session& session = Session::Of(state);
    const emulator::CallOutcome outcome =
        OnActiveThread(session, state, [&] { return session.calls().Get(object, property); });
    return AnswerToLua(state, session, outcome.status, &outcome.result, "property", property);
}

int PropertyWrite(lua_State* state) {
    const host::HostValue object = ProxiedObject(state);
    const char* property = luaL_checkstring(state, 2);
    host::HostValue value{};
    Refusal refusal;
    if (!ToHostValue(state, 3, &value, &refusal))
        return luaL_error(state, "property %s: %s", property, refusal.text);
    WarnIfHandlerNamedByString(state, property, 3);
    Session& session = Session::Of(state);
    const host::Status status =
        OnActiveThread(session, state, [&] { return session.calls().Set(object, property, value); });
    session.host().Release(value);
    return AnswerToLua(state, session, status, nullptr, "property", property);
}

int PropertiesToString(lua_State* state) {
    ProxiedObject(state);
    lua_pushfstring(state, "properties of %s", luaL_tolstring(state, -1, nullptr));
    return 1;
}

int ListClasses(lua_State* state);

// xtra.new(name): the host's `new` on the class registered as `name`.
int NewObject(lua_State* state) {
    const char* name = luaL_checkstring(state, 1);
    Session& session = Session::Of(state);
    emulator::Module* module = session.FindClass(name);
    if (!module) {
        ListClasses(state);
        const int list = lua_gettop(state);
        const lua_Integer count = luaL_len(state, list);
        luaL_Buffer names;
        luaL_buffinit(state, &names);
        for (lua_Integer i = 1; i <= count; ++i) {
            if (i > 1) luaL_addstring(&names, ", ");
            lua_rawgeti(state, list, i);
            luaL_addvalue(&names);
        }
        luaL_pushresult(&names);
        return luaL_error(state, "no plug-in class is registered as %s (there are: %s)", name,
                          lua_tostring(state, -1));
    }
    lua_State* previous = session.SetActiveThread(state);
    const host::HostValue object = module->New();
    session.SetActiveThread(previous);
    if (session.host().ObjectOf(object) == nullptr) {
        session.host().Release(object);
        return luaL_error(state, "the %s plug-in made no object", name);
    }
    PushObject(state, object);
    return 1;
}

// xtra.list(): the registered class names.
int ListClasses(lua_State* state) {
    Session& session = Session::Of(state);
    const std::vector<std::string> names = session.ClassNames();
    lua_createtable(state, static_cast<int>(names.size()), 0);
    for (size_t i = 0; i < names.size(); ++i) {
        lua_pushlstring(state, names[i].data(), names[i].size());
        lua_rawseti(state, -2, static_cast<lua_Integer>(i + 1));
    }
    return 1;
}

const luaL_Reg kObjectMethods[] = {
    {"__index", ObjectIndex}, {"__newindex", ObjectNewIndex}, {"__tostring", ObjectToString},
    {"__eq", ObjectEquals},   {"__gc", ObjectCollect},        {nullptr, nullptr},
};

const luaL_Reg kPropertiesMethods[] = {
    {"__index", PropertyRead},
    {"__newindex", PropertyWrite},
    {"__tostring", PropertiesToString},
    {nullptr, nullptr},
};

const luaL_Reg kXtraFunctions[] = {
    {"new", NewObject},
    {"list", ListClasses},
    {nullptr, nullptr},
};

}  // namespace

void OpenObjects(lua_State* state) {
    AddMetatable(state, kObjectMeta, kObjectMethods);
    AddMetatable(state, kPropertiesMeta, kPropertiesMethods);
    AddWeakTable(state, kMemberCache);
    AddGlobalLibrary(state, "xtra", kXtraFunctions);
}

void PushObject(lua_State* state, const host::HostValue& value) {
    auto* box = static_cast<ObjectBox*>(lua_newuserdatauv(state, sizeof(ObjectBox), 0));
    box->value = value;
    luaL_setmetatable(state, kObjectMeta);
}

const host::HostValue* ToObjectValue(lua_State* state, int index) {
    auto* box = static_cast<ObjectBox*>(luaL_testudata(state, index, kObjectMeta));
    return box ? &box->value : nullptr;
}

}  // namespace tide::tidehost
