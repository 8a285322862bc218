// Interned names, ASCII case folded.
#include "emulator/symbol_table.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tide::emulator {

const std::string SymbolTable::kNoName;

namespace {

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string FoldAsciiCase(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) c = FoldAscii(c);
    return folded;
}

namespace {

// Eight bytes at a time, with the ASCII capitals among them made small: a capital is a
// byte below 0x80 that is at least 'A' and not above 'Z', and gains 0x20.
uint64_t FoldEight(uint64_t bytes) {
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    const uint64_t low = bytes & kLow7;
    const uint64_t atLeastA = low + 0x3F3F3F3F3F3F3F3Full;  // high bit set where >= 'A'
    const uint64_t aboveZ = low + 0x2525252525252525ull;    // high bit set where > 'Z'
    const uint64_t capital = atLeastA & ~aboveZ & ~bytes & kHigh;
    return bytes | (capital >> 2);
}

// The eight bytes of `name` from `at`, zeros past its end.
uint64_t Eight(std::string_view name, size_t at) {
    uint64_t bytes = 0;
    std::memcpy(&bytes, name.data() + at, std::min<size_t>(8, name.size() - at));
    return bytes;
}

}  // namespace

bool SymbolTable::SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t at = 0; at < a.size(); at += 8) {
        const uint64_t x = Eight(a, at);
        const uint64_t y = Eight(b, at);
        if (x != y && FoldEight(x) != FoldEight(y)) return false;
    }
    return true;
}

size_t SymbolTable::FoldedHash::operator()(std::string_view name) const {
    uint64_t hash = 0x9E3779B97F4A7C15ull ^ name.size();
    for (size_t at = 0; at < name.size(); at += 8) {
        hash = (hash ^ FoldEight(Eight(name, at))) * 0xFF51AFD7ED558CCDull;
        hash ^= hash >> 29;
    }
    return static_cast<size_t>(hash);
}

host::HostSymbol SymbolTable::Intern(std::string_view name) {
    Recent& recent = recent_[(reinterpret_cast<uintptr_t>(name.data()) >> 3) % kRecent];
    if (recent.at == name.data() && recent.symbol != 0 && *byNumber_[recent.symbol - 1] == name)
        return recent.symbol;
    auto found = byName_.find(name);
    if (found != byName_.end()) {
        recent = Recent{name.data(), found->second};
        return found->second;
    }
    byNumber_.reserve(byNumber_.size() + 1);
    const std::string& kept = names_.emplace_back(name);
    byNumber_.push_back(&kept);
    auto symbol = static_cast<host::HostSymbol>(names_.size());
    byName_.emplace(std::string_view(kept), symbol);
    return symbol;
}

}  // namespace tide::emulator
