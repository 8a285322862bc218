// A Lua table seen by the host as a script object: a plug-in that holds it calls its
// handlers by name (ASCII case ignored) as table:handler(args...). Made by the session
// when a script passes a table as a value; called on the host's thread, from inside a
// plug-in's InvokeHandler, which never sees a Lua error: one is caught here and raised
// again from host.run once the plug-in's call has returned.
#pragma once

#include <lua.hpp>
#include <memory>

#include "emulator/script_object.h"

namespace tide::tidehost {

class Session;
struct LuaLink;

class LuaScriptObject final : public emulator::ScriptObject {
public:
    // Holds the table at `index` of `state` (through a registry reference) for as long
    // as the host holds this object.
    LuaScriptObject(Session& session, lua_State* state, int index);
    ~LuaScriptObject() override;
    LuaScriptObject(const LuaScriptObject&) = delete;
    LuaScriptObject& operator=(const LuaScriptObject&) = delete;

    host::Status Invoke(emulator::Host& host, host::HostSymbol handler, int32_t argc,
                        const host::HostValue* argv, host::HostValue* result) override;

    // The table's identity, for telling whether a table already has an object.
    const void* table() const { return table_; }
    // Pushes the table; nil once the Lua state has closed.
    void PushTable(lua_State* state) const;

private:
    Session& session_;
    std::shared_ptr<LuaLink> link_;
    int reference_;
    const void* table_;
};

// Statuses a Lua script object answers the host with.
constexpr host::Status kHandlerRaisedError = static_cast<host::Status>(0x80040110u);

}  // namespace tide::tidehost
