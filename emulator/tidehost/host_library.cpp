// The global `host`, and os.exit. Functions that raise do so only after every C++ object
// of theirs is gone.
#include "emulator/tidehost/host_library.h"

#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include "emulator/tidehost/interrupt.h"
#include "emulator/tidehost/lua_setup.h"
#include "emulator/tidehost/lua_values.h"
#include "emulator/tidehost/readable_memory.h"
#include "emulator/tidehost/session.h"
#include "emulator/tidehost/thread_cpu.h"
#include "host/address_table.h"

namespace tide::tidehost {

namespace {

using Clock = std::chrono::steady_clock;

// host.sleep looks at the interrupt flag this often.
constexpr std::chrono::milliseconds kSleepSlice{10};

// A duration in seconds from argument `index`: a number, not negative, or nil for none.
double OptionalSeconds(lua_State* state, int index) {
    if (lua_isnoneornil(state, index)) return -1;
    const double seconds = luaL_checknumber(state, index);
    luaL_argcheck(state, seconds >= 0 && !std::isnan(seconds), index, "seconds must not be negative");
    return seconds;
}

// An address of the address table from argument `index`.
uint32_t CheckAddress(lua_State* state, int index) {
    const lua_Integer address = luaL_checkinteger(state, index);
    // A plug-in's number arrives as a signed 32-bit integer: a real address above 2 GiB
    // is negative, and means the same 32 bits.
    luaL_argcheck(state, address != 0 && address >= INT32_MIN && address <= UINT32_MAX, index,
                  "not an address of the host");
    return static_cast<uint32_t>(address);
}

// host.run([seconds]): notifies until the time is up, host.stop(), or an interrupt.
int Run(lua_State* state) {
    const double seconds = OptionalSeconds(state, 1);
    Session& session = Session::Of(state);
    if (session.inHandler()) return luaL_error(state, "host.run cannot be called from inside a handler");
    switch (session.Run(state, seconds)) {
        case RunEnd::kHandlerFailed:
            return RaiseHandlerFailure(state);
        case RunEnd::kStopped:
            lua_pushliteral(state, "stopped");
            break;
        case RunEnd::kInterrupted:
            lua_pushliteral(state, "interrupted");
            break;
        case RunEnd::kTimeUp:
            lua_pushliteral(state, "timeout");
            break;
    }
    return 1;
}

int Stop(lua_State* state) {
    Session::Of(state).RequestStop();
    return 0;
}

// host.sleep(seconds): waits without notifying; false when interrupted.
int Sleep(lua_State* state) {
    const double seconds = OptionalSeconds(state, 1);
    luaL_argcheck(state, seconds >= 0, 1, "how many seconds?");
    const Clock::time_point end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    {
        WaitingForHost waiting;
        for (Clock::time_point now = Clock::now(); now < end && !Interrupted(); now = Clock::now()) {
            std::this_thread::sleep_for(std::min<Clock::duration>(kSleepSlice, end - now));
        }
    }
    lua_pushboolean(state, !Interrupted());
    return 1;
}

// host.now(): seconds of the system's monotonic clock, the same in every process of the
// machine, so that a time taken by one process can be compared with another's.
int Now(lua_State* state) {
    lua_pushnumber(state, std::chrono::duration<double>(Clock::now().time_since_epoch()).count());
    return 1;
}

// host.cpu(): seconds of CPU time the host's thread has used (this thread alone: not the
// plug-ins' receive threads), for measuring what a delivery costs the host.
int Cpu(lua_State* state) {
    lua_pushnumber(state, ThreadCpuSeconds());
    return 1;
}

void SetCount(lua_State* state, const char* name, uint64_t count) {
    lua_pushinteger(state, static_cast<lua_Integer>(count));
    lua_setfield(state, -2, name);
}

// host.stats(): what is alive, and how much was called.
int Stats(lua_State* state) {
    Session& session = Session::Of(state);
    const emulator::Alive alive = session.host().alive();
    const emulator::Counters& counters = session.host().counters();
    const NotificationPump::Totals& pump = session.pump().totals();
    lua_createtable(state, 0, 16);
    SetCount(state, "values", alive.values);
    SetCount(state, "interfaces", alive.interfaceRefs);
    SetCount(state, "host_objects", alive.hostObjects);
    SetCount(state, "notification_clients", alive.notificationClients);
    SetCount(state, "locked_strings", alive.lockedStrings);
    SetCount(state, "memory_blocks", alive.memoryBlocks);
    SetCount(state, "published_regions", alive.publishedRegions);
    SetCount(state, "script_regions", session.memory().regions());
    SetCount(state, "handler_calls", counters.handlerCalls);
    SetCount(state, "failed_handler_calls", counters.failedHandlerCalls);
    SetCount(state, "notifications", counters.notifications);
    SetCount(state, "interface_queries", counters.interfaceQueries);
    SetCount(state, "allocations", counters.allocations);
    SetCount(state, "rounds", pump.rounds);
    SetCount(state, "busy_rounds", pump.busyRounds);
    SetCount(state, "pauses", pump.pauses);
    return 1;
}

// host.peek(address, length): the bytes of a published region; without an address
// table, of a region host.alloc made or of memory the system says can be read.
int Peek(lua_State* state) {
    const uint32_t address = CheckAddress(state, 1);
    const lua_Integer length = luaL_checkinteger(state, 2);
    luaL_argcheck(state, length >= 0 && length <= UINT32_MAX, 2, "not a length");
    Session& session = Session::Of(state);
    const char* base = nullptr;
    uint32_t regionBytes = 0;
    if (session.offersAddressTable()) {
        void* published = nullptr;
        if (session.host().addressTable()->Lookup(address, &published, &regionBytes) == host::kOk)
            base = static_cast<const char*>(published);
    } else if (!session.memory().Find(address, &base, &regionBytes)) {
        const auto* at = reinterpret_cast<const char*>(static_cast<uintptr_t>(address));
        if (IsReadable(at, static_cast<size_t>(length))) {
            base = at;
            regionBytes = static_cast<uint32_t>(length);
        }
    }
    if (!base) {
        return luaL_error(state, "host.peek: no region is published at address %d",
                          static_cast<int>(address));
    }
    if (static_cast<uint64_t>(length) > regionBytes) {
        return luaL_error(state, "host.peek: %I bytes do not fit the region of %d bytes at address %d",
                          length, static_cast<int>(regionBytes), static_cast<int>(address));
    }
    lua_pushlstring(state, base, static_cast<size_t>(length));
    return 1;
}

// host.alloc(bytes): a new region holding a copy of the string; its address.
int Alloc(lua_State* state) {
    size_t length = 0;
    const char* bytes = luaL_checklstring(state, 1, &length);
    const uint32_t address = Session::Of(state).memory().Allocate(bytes, length);
    if (address == 0)
        return luaL_error(state, "host.alloc: no memory for %d bytes", static_cast<int>(length));
    lua_pushinteger(state, address);
    return 1;
}

// host.free(address): frees a region made by host.alloc.
int Free(lua_State* state) {
    const uint32_t address = CheckAddress(state, 1);
    if (!Session::Of(state).memory().Free(address)) {
        return luaL_error(state, "host.free: %d is not an address made by host.alloc",
                          static_cast<int>(address));
    }
    return 0;
}

// host.describe(value): how the host sees the value the argument becomes.
int Describe(lua_State* state) {
    lua_settop(state, 1);
    host::HostValue value{};
    Refusal refusal;
    if (!ToHostValue(state, 1, &value, &refusal)) return luaL_error(state, "host.describe: %s", refusal.text);
    emulator::Host& host = Session::Of(state).host();
    {
        const std::string text = value.words[0] == 0 && value.words[1] == 0 ? "void" : host.Describe(value);
        host.Release(value);
        lua_pushlstring(state, text.data(), text.size());
    }
    return 1;
}

// os.exit([status]): ends the script in order (objects released, modules unloaded)
// instead of leaving the process at once.
int Exit(lua_State* state) {
    int status = 0;
    if (lua_isboolean(state, 1)) {
        status = lua_toboolean(state, 1) ? 0 : 1;
    } else if (!lua_isnoneornil(state, 1)) {
        status = static_cast<int>(luaL_checkinteger(state, 1));
    }
    Session::Of(state).RequestExit(status);
    lua_pushlightuserdata(state, ExitRequestMarker());
    return lua_error(state);
}

const luaL_Reg kHostFunctions[] = {
    {"run", Run},   {"stop", Stop},         {"sleep", Sleep},   {"now", Now},
    {"cpu", Cpu},   {"stats", Stats},       {"peek", Peek},     {"alloc", Alloc},
    {"free", Free}, {"describe", Describe}, {nullptr, nullptr},
};

}  // namespace

void OpenHostLibrary(lua_State* state) {
    AddGlobalLibrary(state, "host", kHostFunctions);
    lua_getglobal(state, "os");
    lua_pushcfunction(state, Exit);
    lua_setfield(state, -2, "exit");
    lua_pop(state, 1);
}

}  // namespace tide::tidehost
