// Interned names of the emulated host: names that differ only in ASCII letter case are
// one symbol, as the plug-ins rely on ("Start" and "start"). Host's thread only.
#pragma once

#include <cstddef>
#include <deque>
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
    bool Known(host::HostSymbol symbol) const { return symbol >= 1 && symbol <= byNumber_.size(); }
    // The spelling the symbol was first made with; "" for an unknown symbol. The string
    // stays where it is for the table's life: making more symbols does not move it.
    const std::string& Name(host::HostSymbol symbol) const {
        return Known(symbol) ? *byNumber_[symbol - 1] : kNoName;
    }
    size_t size() const { return names_.size(); }

    // True when the two names are one symbol: equal but for ASCII letter case. Compares
    // in place: names are compared on every handler call and list lookup.
    static bool SameName(std::string_view a, std::string_view b);

private:
    // Hashes and compares names as their folded forms would, without making them.
    struct FoldedHash {
        size_t operator()(std::string_view name) const;
    };
    struct FoldedEqual {
        bool operator()(std::string_view a, std::string_view b) const { return SameName(a, b); }
    };

    // Keyed by views of names_, whose strings never move (a deque keeps its elements in
    // place as it grows) and are never changed.
    std::unordered_map<std::string_view, host::HostSymbol, FoldedHash, FoldedEqual> byName_;
    // The symbols last interned from each place a name was read at: a plug-in makes its
    // names from the same constants again and again. A hit needs the very bytes the
    // symbol was first spelled with; anything else goes through byName_.
    struct Recent {
        const char* at = nullptr;
        host::HostSymbol symbol = 0;
    };
    static constexpr size_t kRecent = 64;
    Recent recent_[kRecent];
    std::deque<std::string> names_;             // symbol n is names_[n - 1]
    std::vector<const std::string*> byNumber_;  // &names_[n - 1], found without a deque's steps
    static const std::string kNoName;
};

}  // namespace tide::emulator
