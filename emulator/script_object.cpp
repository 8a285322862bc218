// A script object of C++ functions.
#include "emulator/script_object.h"

#include "emulator/host.h"
#include "emulator/symbol_table.h"

namespace tide::emulator {

void HandlerScriptObject::On(std::string name, Handler handler) {
    for (auto& named : handlers_) {
        if (SymbolTable::SameName(named.first, name)) {
            named.second = std::move(handler);
            return;
        }
    }
    handlers_.emplace_back(std::move(name), std::move(handler));
}

host::Status HandlerScriptObject::Invoke(Host& host, host::HostSymbol handler, int32_t argc,
                                         const host::HostValue* argv, host::HostValue* result) {
    const std::string& name = host.SymbolName(handler);
    for (auto& named : handlers_) {
        if (!SymbolTable::SameName(named.first, name)) continue;
        if (calls_.size() < kRecordedCalls) calls_.push_back(name);
        return named.second ? named.second(host, argc, argv, result) : host::kOk;
    }
    return host::kNoSuchMember;
}

}  // namespace tide::emulator
