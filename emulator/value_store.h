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
    ValueSlot* Use(const host::HostValue& value, const char* entry, bool* isVoid = nullptr) {
        if (isVoid) *isVoid = false;
        uint32_t index = 0;
        const Found found = Resolve(value, &index);
        if (found == Found::kValue) return &slots_[index];
        return Unusable(value, found, entry, isVoid);
    }
    // The same without recording anything.
    const ValueSlot* Peek(const host::HostValue& value) const {
        uint32_t index = 0;
        return Resolve(value, &index) == Found::kValue ? &slots_[index] : nullptr;
    }

    // One reference more or less. The void value is accepted and ignored; a released or
    // foreign value is an error (kBadValue).
    host::Status AddRef(const host::HostValue& value, const char* entry);
    host::Status Release(const host::HostValue& value, const char* entry);
    // The same on a value already found (Use): no second search.
    static void AddRef(ValueSlot& slot) { ++slot.refs; }

    size_t live() const { return live_; }
    size_t lockedTexts() const;
    // One line per live value.
    std::vector<std::string> DescribeLive() const;
    std::string Describe(const host::HostValue& value) const;

    // Drops every live value with all its references; the number dropped.
    size_t ReleaseAll();

private:
    enum class Found { kValue, kVoid, kReleased, kForeign };
    Found Resolve(const host::HostValue& value, uint32_t* index) const {
        if (value.words[0] == 0 && value.words[1] == 0) return Found::kVoid;
        const uint32_t kind = value.words[0] & kKindMask;
        const uint32_t generation = value.words[0] >> kKindBits;
        const uint32_t slot = value.words[1];
        if (kind == host::kTypeVoid || kind > host::kTypePluginObject || generation == 0 ||
            slot >= slots_.size()) {
            return Found::kForeign;
        }
        const ValueSlot& contents = slots_[slot];
        if (contents.generation != generation) return Found::kReleased;
        if (contents.kind != static_cast<host::ValueType>(kind)) return Found::kForeign;
        *index = slot;
        return Found::kValue;
    }
    // Use's answer for a value that has no slot: records what was wrong with it.
    ValueSlot* Unusable(const host::HostValue& value, Found found, const char* entry, bool* isVoid);
    // A free slot (void) to fill, taken off the free list or made; Commit makes it a live
    // value of `kind` with one reference. Between the two, a failure hands it back (Untake).
    uint32_t Take();
    void Untake(uint32_t index);
    host::HostValue Commit(uint32_t index, host::ValueType kind);
    void Destroy(uint32_t index);
    void DestroyList(uint32_t index);
    // Marks a slot emptied of its contents free (the caller puts it on the free list).
    void Free(ValueSlot& slot);
    std::string DescribeSlot(const ValueSlot& slot, int depth) const;

    static constexpr uint32_t kKindBits = 8;
    static constexpr uint32_t kKindMask = (1u << kKindBits) - 1;

    Ledger& ledger_;
    const SymbolTable& symbols_;
    std::vector<ValueSlot> slots_;
    // Freed slots in the order freed, in a ring that doubles when full: every value
    // made takes one from the front and every value released puts one at the back.
    class FreeSlots {
    public:
        size_t size() const { return count_; }
        void push_back(uint32_t index) {
            if (count_ == ring_.size()) Grow();
            ring_[(head_ + count_) & (ring_.size() - 1)] = index;
            ++count_;
        }
        void push_front(uint32_t index) {
            if (count_ == ring_.size()) Grow();
            head_ = (head_ + ring_.size() - 1) & (ring_.size() - 1);
            ring_[head_] = index;
            ++count_;
        }
        uint32_t pop_front() {
            const uint32_t index = ring_[head_];
            head_ = (head_ + 1) & (ring_.size() - 1);
            --count_;
            return index;
        }

    private:
        void Grow();
        std::vector<uint32_t> ring_;  // a power of two long, or empty
        size_t head_ = 0;
        size_t count_ = 0;
    };
    FreeSlots free_;
    size_t live_ = 0;
    // Texts of values released while locked: kept so the plug-in's pointer stays good.
    std::vector<std::unique_ptr<std::string>> orphanedTexts_;
    // Blocks of released strings and lists, kept for the next ones made: a delivery makes
    // and releases a list and two strings, which then cost no allocation. Few and small
    // (see value_store.cpp), so they hold little memory.
    std::vector<std::unique_ptr<std::string>> spareTexts_;
    std::vector<std::vector<PropEntry>> spareLists_;
};

}  // namespace tide::emulator
