// One run of tidehost: the emulated host, the two loaded modules, and the Lua state
// whose script works their objects. Everything here runs on the main thread, which is
// the host's thread; the Lua bindings reach the session through Session::Of.
#pragma once

#include <cstdio>
#include <lua.hpp>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "emulator/host.h"
#include "emulator/module.h"
#include "emulator/script_calls.h"
#include "emulator/tidehost/notification_pump.h"
#include "emulator/tidehost/script_memory.h"

namespace tide::tidehost {

// What script objects made from Lua tables know of the Lua state. They may outlive it
// (a plug-in can hold one until the host drops its leftovers), so the state is cleared
// here when it closes.
struct LuaLink {
    lua_State* state = nullptr;
};

// How host.run ended.
enum class RunEnd { kTimeUp, kStopped, kInterrupted, kHandlerFailed };

class Session {
public:
    // `addressTable` false: the host offers the plug-ins no address table, and the
    // numbers scripts see are addresses (only where addresses fit in 32 bits).
    explicit Session(bool addressTable = true);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Loads Tidelisten.so and Tidespeak.so from `directory`. False with a one-line
    // `*error` when either cannot be loaded.
    bool LoadModules(const std::string& directory, std::string* error);
    // Makes the Lua state with the standard libraries and tidehost's own globals.
    lua_State* OpenLua();

    static Session& Of(lua_State* state);

    emulator::Host& host() { return host_; }
    emulator::ScriptCalls& calls() { return calls_; }
    ScriptMemory& memory() { return memory_; }
    bool offersAddressTable() const { return addressTable_; }
    const NotificationPump& pump() const { return pump_; }
    const std::shared_ptr<LuaLink>& link() const { return link_; }

    // The plug-in class registered as `name`, ASCII case ignored; null when none is.
    emulator::Module* FindClass(std::string_view name);
    std::vector<std::string> ClassNames() const;

    // --- Script objects made from Lua tables ---
    // A host value (one reference, the caller's) for the table at `index`: the same
    // script object as long as the host still holds the one made before.
    host::HostValue ScriptObjectFor(lua_State* state, int index);
    // The Lua thread that calls into the host right now: handlers run on it.
    lua_State* activeThread() const { return active_ ? active_ : link_->state; }
    // Marks `state` as the thread calling into the host until the returned previous
    // thread is put back.
    lua_State* SetActiveThread(lua_State* state);

    // --- Handlers ---
    void EnterHandler() { ++handlerDepth_; }
    void LeaveHandler() { --handlerDepth_; }
    bool inHandler() const { return handlerDepth_ > 0; }
    // A handler raised an error: its message with traceback (the first one is kept), or
    // the script asked to exit from inside a handler.
    void RecordHandlerFailure(std::string text);
    void RecordExitRequest(int status);
    bool handlerFailed() const { return handlerFailed_; }
    // Pushes the recorded failure as an error value (text, or the exit request) and
    // forgets it.
    void PushHandlerFailure(lua_State* state);
    // Says once per name that a script object lacked the handler a plug-in called.
    void WarnMissingHandler(const std::string& name);
    // Says once per member and name that a script named a handler by a string where the
    // member takes a symbol: the plug-in leaves the handler as it was, and nothing else
    // would tell.
    void WarnHandlerNamedByString(const std::string& member, const std::string& name);

    // --- The script's own end ---
    // os.exit(status) asked for this status.
    void RequestExit(int status) { exitStatus_ = status; }
    int requestedExit() const { return exitStatus_; }

    // --- Time ---
    // Notifies until `seconds` have passed (negative: no limit), host.stop() is called,
    // the user interrupts, or a handler fails.
    RunEnd Run(lua_State* state, double seconds);
    void RequestStop() { stopRequested_ = true; }

    // Ends the run: closes the Lua state (releasing every object the script held),
    // frees the script's memory, reports on `err` whatever is still alive and every
    // misuse the host recorded, drops the leftovers and unloads the modules. Returns
    // `status`, or 3 when `status` was 0 and something was reported.
    int Finish(int status, FILE* err);

private:
    void CloseLua();
    void PruneScriptObjects();

    bool addressTable_;
    emulator::Host host_;
    emulator::ScriptCalls calls_{host_};
    ScriptMemory memory_;
    NotificationPump pump_{host_};
    std::vector<std::unique_ptr<emulator::Module>> modules_;
    std::shared_ptr<LuaLink> link_ = std::make_shared<LuaLink>();
    lua_State* active_ = nullptr;

    // Table (by its address) to the last host value made for it; no reference held.
    std::unordered_map<const void*, host::HostValue> scriptObjects_;
    size_t pruneAt_ = 64;

    int handlerDepth_ = 0;
    bool handlerFailed_ = false;
    bool exitFromHandler_ = false;
    std::string handlerFailure_;
    std::set<std::string> warnedHandlers_;
    int exitStatus_ = 0;
    bool stopRequested_ = false;
};

// Raises the handler failure recorded in the session as a Lua error. Call it only
// where no C++ object with a destructor is alive in the calling function.
int RaiseHandlerFailure(lua_State* state);

// The light userdata raised by os.exit: the status is in the session.
void* ExitRequestMarker();

}  // namespace tide::tidehost
