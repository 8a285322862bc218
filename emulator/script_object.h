// Script objects of the emulated host: what a plug-in's InvokeHandler reaches when
// argv[0] is one. A C++ object in tests, a Lua table in tidehost. Called on the host's
// thread, from inside the plug-in's call.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/values.h"

namespace tide::emulator {

class Host;

class ScriptObject {
public:
    virtual ~ScriptObject() = default;

    // Runs the handler named by `handler` (its name: host.SymbolName(handler); symbols
    // already ignore ASCII case) with argv[0] this object and argv[1..argc-1] the
    // arguments, which the caller keeps. `*result` is void on entry; a value written there
    // belongs to the caller afterwards (and is released by the host when the handler
    // answers a failure). Non-zero when there is no such handler.
    virtual host::Status Invoke(Host& host, host::HostSymbol handler, int32_t argc,
                                const host::HostValue* argv, host::HostValue* result) = 0;
};

// A script object made of C++ functions, one per handler name. Records the names of the
// first kRecordedCalls handlers called, in order, so that a long run does not grow it.
class HandlerScriptObject : public ScriptObject {
public:
    using Handler = std::function<host::Status(Host& host, int32_t argc, const host::HostValue* argv,
                                               host::HostValue* result)>;

    // Adds (or replaces) the handler `name`; ASCII case is ignored when it is called.
    void On(std::string name, Handler handler);

    host::Status Invoke(Host& host, host::HostSymbol handler, int32_t argc, const host::HostValue* argv,
                        host::HostValue* result) override;

    static constexpr size_t kRecordedCalls = 10000;

    // Names of the handlers called, as the host spelled them, in order (the first
    // kRecordedCalls of them).
    const std::vector<std::string>& calls() const { return calls_; }

private:
    std::vector<std::pair<std::string, Handler>> handlers_;
    std::vector<std::string> calls_;
};

}  // namespace tide::emulator
