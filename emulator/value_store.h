// The emulated host's values. Every value, integers included, is a counted slot, so that
// a value a plug-in forgets to release stays visible, and a value used after its release
// is recognised: a value's words carry its kind, its slot and the slot's generation.
// Host's thread only.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "emulator/ledger.h"
#include "emulator/symbol_table.h"
#include "host/component.h"
#include "host/values.h"

namespace tide::emulator {

class ScriptObject;

// One entry of a property list; the list holds a reference on both.
struct PropEntry {
    host::HostValue key;
    host::HostValue item;
};

struct ValueSlot {
    host::ValueType kind = host::kTypeVoid;  // kTypeVoid while the slot is free
    uint32_t generation = 1;
    uint32_t refs = 0;
    int32_t integer = 0;
    double number = 0;
    host::HostSymbol symbol = 0;
    // A block of its own, so that a locked text stays where it is while slots move.
    std::unique_ptr<std::string> text;
    uint32_t locks = 0;
    std::vector<PropEntry> entries;
    std::shared_ptr<ScriptObject> script;
    host::Unknown* object = nullptr;  // a reference of the value's own
};

class ValueStore {
public:
    ValueStore(Ledger& ledger, const SymbolTable& symbols);
    // Drops the store's memory without calling into objects that values still hold:
    // their code may be gone by then. Release leftovers first (ReleaseAll) to avoid that.
    ~ValueStore();
    ValueStore(const ValueStore&) = delete;
    ValueStore& operator=(const ValueStore&) = delete;

    // New values with one reference, owned by the caller.
    host::HostValue NewInteger(int32_t n);
    host::HostValue NewFloat(double number);
    host::HostValue NewSymbol(host::HostSymbol symbol);
    host::HostValue NewString(const char* bytes, size_t length);
    host::HostValue NewPropList();
    host::HostValue NewScriptObject(std::shared_ptr<ScriptObject> script);
    // Takes a reference of its own on `object`, released when the value dies.
    host::HostValue NewObject(host::Unknown* object);

    // The slot of a live value. Null for the void value (with `*isVoid` set) and for a
    // released or foreign value, which is recorded as an error of `entry`. The pointer
    // is good until the next value is made.
    ValueSlot* Use(const host::HostValue& value, const char* entry, bool* isVoid = nullptr);
    // The same without recording anything.
    const ValueSlot* Peek(const host::HostValue& value) const;

    // One reference more or less. The void value is accepted and ignored; a released or
    // foreign value is an error (kBadValue).
    host::Status AddRef(const host::HostValue& value, const char* entry);
    host::Status Release(const host::HostValue& value, const char* entry);

    size_t live() const { return live_; }
    size_t lockedTexts() const;
    // One line per live value.
    std::vector<std::string> DescribeLive() const;
    std::string Describe(const host::HostValue& value) const;

    // Drops every live value with all its references; the number dropped.
    size_t ReleaseAll();

private:
    enum class Found { kValue, kVoid, kReleased, kForeign };
    Found Resolve(const host::HostValue& value, uint32_t* index) const;
    host::HostValue Add(ValueSlot contents);
    void Destroy(uint32_t index);
    std::string DescribeSlot(const ValueSlot& slot, int depth) const;

    Ledger& ledger_;
    const SymbolTable& symbols_;
    std::vector<ValueSlot> slots_;
    std::deque<uint32_t> free_;
    size_t live_ = 0;
    // Texts of values released while locked: kept so the plug-in's pointer stays good.
    std::vector<std::unique_ptr<std::string>> orphanedTexts_;
};

}  // namespace tide::emulator
