// Interned names, ASCII case folded.
#include "emulator/symbol_table.h"

namespace tide::emulator {

std::string FoldAsciiCase(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

namespace {

const std::string kNoName;

}  // namespace

bool SymbolTable::SameName(std::string_view a, std::string_view b) {
    return FoldAsciiCase(a) == FoldAsciiCase(b);
}

host::HostSymbol SymbolTable::Intern(std::string_view name) {
    std::string folded = FoldAsciiCase(name);
    auto found = byFoldedName_.find(folded);
    if (found != byFoldedName_.end()) return found->second;
    names_.emplace_back(name);
    auto symbol = static_cast<host::HostSymbol>(names_.size());
    byFoldedName_.emplace(std::move(folded), symbol);
    return symbol;
}

bool SymbolTable::Known(host::HostSymbol symbol) const { return symbol >= 1 && symbol <= names_.size(); }

const std::string& SymbolTable::Name(host::HostSymbol symbol) const {
    return Known(symbol) ? names_[symbol - 1] : kNoName;
}

}  // namespace tide::emulator
