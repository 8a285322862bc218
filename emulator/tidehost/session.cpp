// The session: modules, the Lua state, handler failures, host.run, and the orderly end.
#include "emulator/tidehost/session.h"

#include <algorithm>
#include <chrono>

#include "emulator/module_loading.h"
#include "emulator/symbol_table.h"
#include "emulator/tidehost/exit_status.h"
#include "emulator/tidehost/host_library.h"
#include "emulator/tidehost/interrupt.h"
#include "emulator/tidehost/lua_script_object.h"
#include "emulator/tidehost/object_binding.h"
#include "emulator/tidehost/property_list.h"
#include "emulator/tidehost/symbols.h"
#include "host/ids.h"

namespace tide::tidehost {

namespace {

constexpr const char* kModuleNames[] = {"Tidelisten", "Tidespeak"};
// host.run(seconds) beyond this is taken as no limit: the clock's range ends somewhere.
constexpr double kLongestRunSeconds = 1e9;

char gExitMarker;

}  // namespace

void* ExitRequestMarker() { return &gExitMarker; }

Session::Session(bool addressTable)
    : addressTable_(addressTable), memory_(addressTable ? host_.addressTable() : nullptr) {
    if (!addressTable) host_.RefuseInterface(host::kIidAddressTable);
}

Session::~Session() { CloseLua(); }

bool Session::LoadModules(const std::string& directory, std::string* error) {
    for (const char* name : kModuleNames) {
        const std::string path = emulator::ModuleFile(directory, name);
        std::string reason;
        std::unique_ptr<emulator::Module> module = emulator::Module::Load(host_, path, &reason);
        if (!module) {
            *error = "cannot load " + path + ": " + reason;
            return false;
        }
        modules_.push_back(std::move(module));
    }
    return true;
}

lua_State* Session::OpenLua() {
    lua_State* state = luaL_newstate();
    if (!state) return nullptr;
    *static_cast<Session**>(lua_getextraspace(state)) = this;
    link_->state = state;
    luaL_openlibs(state);
    OpenSymbols(state);
    OpenPropertyLists(state);
    OpenObjects(state);
    OpenHostLibrary(state);
    return state;
}

Session& Session::Of(lua_State* state) { return **static_cast<Session**>(lua_getextraspace(state)); }

emulator::Module* Session::FindClass(std::string_view name) {
    for (const auto& module : modules_) {
        if (emulator::SymbolTable::SameName(module->className(), name)) return module.get();
    }
    return nullptr;
}

std::vector<std::string> Session::ClassNames() const {
    std::vector<std::string> names;
    for (const auto& module : modules_) names.push_back(module->className());
    return names;
}

host::HostValue Session::ScriptObjectFor(lua_State* state, int index) {
    const void* table = lua_topointer(state, index);
    auto known = scriptObjects_.find(table);
    if (known != scriptObjects_.end()) {
        // The address is the same table only while the object made for it lives: that
        // object holds the table, so the address cannot have been reused meanwhile.
        auto* object = dynamic_cast<LuaScriptObject*>(host_.ScriptObjectOf(known->second).get());
        if (object && object->table() == table && host_.AddRef(known->second)) return known->second;
        scriptObjects_.erase(known);
    }
    const host::HostValue value =
        host_.MakeScriptObject(std::make_shared<LuaScriptObject>(*this, state, index));
    scriptObjects_[table] = value;
    if (scriptObjects_.size() >= pruneAt_) PruneScriptObjects();
    return value;
}

void Session::PruneScriptObjects() {
    for (auto it = scriptObjects_.begin(); it != scriptObjects_.end();) {
        it = host_.IsAlive(it->second) ? std::next(it) : scriptObjects_.erase(it);
    }
    pruneAt_ = std::max<size_t>(64, 2 * scriptObjects_.size());
}

lua_State* Session::SetActiveThread(lua_State* state) {
    lua_State* previous = active_;
    active_ = state;
    return previous;
}

void Session::RecordHandlerFailure(std::string text) {
    if (handlerFailed_) return;
    handlerFailed_ = true;
    handlerFailure_ = std::move(text);
}

void Session::RecordExitRequest(int status) {
    if (handlerFailed_) return;
    handlerFailed_ = true;
    exitFromHandler_ = true;
    exitStatus_ = status;
}

void Session::PushHandlerFailure(lua_State* state) {
    if (exitFromHandler_) {
        lua_pushlightuserdata(state, ExitRequestMarker());
    } else {
        lua_pushlstring(state, handlerFailure_.data(), handlerFailure_.size());
    }
    handlerFailed_ = false;
    exitFromHandler_ = false;
    handlerFailure_.clear();
}

void Session::WarnMissingHandler(const std::string& name) {
    if (!warnedHandlers_.insert(emulator::FoldAsciiCase(name)).second) return;
    std::fprintf(stderr, "tidehost: warning: a script object has no handler %s; the plug-in's call fails\n",
                 name.c_str());
}

void Session::WarnHandlerNamedByString(const std::string& member, const std::string& name) {
    if (!warnedHandlers_.insert(emulator::FoldAsciiCase(member) + "=" + name).second) return;
    std::fprintf(stderr,
                 "tidehost: warning: %s takes the handler's name as a symbol, symbol(\"%s\"), not the string "
                 "\"%s\"; the handler stays as it was\n",
                 member.c_str(), name.c_str(), name.c_str());
}

RunEnd Session::Run(lua_State* state, double seconds) {
    if (Interrupted()) return RunEnd::kInterrupted;
    using Clock = NotificationPump::Clock;
    Clock::time_point deadline = Clock::time_point::max();
    if (seconds >= 0 && seconds < kLongestRunSeconds) {
        deadline = Clock::now() +
                   std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    }
    lua_State* previous = SetActiveThread(state);
    stopRequested_ = false;
    {
        WaitingForHost waiting;
        pump_.Run(deadline, [this] { return stopRequested_ || handlerFailed_ || Interrupted(); });
    }
    SetActiveThread(previous);
    if (handlerFailed_) return RunEnd::kHandlerFailed;
    if (stopRequested_) {
        stopRequested_ = false;
        return RunEnd::kStopped;
    }
    return Interrupted() ? RunEnd::kInterrupted : RunEnd::kTimeUp;
}

void Session::CloseLua() {
    lua_State* state = link_->state;
    if (!state) return;
    RemoveInterruptHandler();
    // Collecting the objects releases them; a plug-in object that goes releases the
    // script objects it held, which still find the state open while it closes.
    lua_close(state);
    link_->state = nullptr;
    active_ = nullptr;
}

int Session::Finish(int status, FILE* err) {
    CloseLua();
    memory_.FreeAll();
    bool reported = false;
    if (!host_.alive().none()) {
        std::fprintf(err, "tidehost: error: still alive after the script's objects were released:\n%s",
                     host_.AliveReport().c_str());
        reported = true;
    }
    host_.ReleaseLeftovers();
    for (auto module = modules_.rbegin(); module != modules_.rend(); ++module) (*module)->Unload();
    for (const std::string& error : host_.errors()) {
        std::fprintf(err, "tidehost: error: the host saw a misuse: %s\n", error.c_str());
        reported = true;
    }
    scriptObjects_.clear();
    return status == kExitSuccess && reported ? kExitLeftovers : status;
}

int RaiseHandlerFailure(lua_State* state) {
    Session::Of(state).PushHandlerFailure(state);
    return lua_error(state);
}

}  // namespace tide::tidehost
