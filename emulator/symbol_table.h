// Interned names of the emulated host: names that differ only in ASCII letter case are
// one symbol, as the plug-ins rely on ("Start" and "start"). Host's thread only.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/values.h"

namespace tide::emulator {

// `name` with its ASCII capitals made small: the one form under which the host, and
// tidehost's own Lua side, compare names.
std::string FoldAsciiCase(std::string_view name);

class SymbolTable {
public:
    // The symbol of `name`; never 0.
    host::HostSymbol Intern(std::string_view name);
    bool Known(host::HostSymbol symbol) const;
    // The spelling the symbol was first made with; "" for an unknown symbol.
    const std::string& Name(host::HostSymbol symbol) const;
    size_t size() const { return names_.size(); }

    // True when the two names are one symbol: equal but for ASCII letter case.
    static bool SameName(std::string_view a, std::string_view b);

private:
    std::unordered_map<std::string, host::HostSymbol> byFoldedName_;
    std::vector<std::string> names_;  // symbol n is names_[n - 1]
};

}  // namespace tide::emulator
