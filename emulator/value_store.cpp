// The emulated host's values: counted slots with generations.
#include "emulator/value_store.h"

#include <cstdio>
#include <utility>

#include "emulator/script_object.h"
#include "emulator/status.h"

namespace tide::emulator {

namespace {

constexpr uint32_t kKindBits = 8;
constexpr uint32_t kKindMask = (1u << kKindBits) - 1;
constexpr uint32_t kGenerationMask = 0x00FFFFFFu;
// Freed slots wait in line this long before reuse, so that a stale value keeps being
// recognised as released rather than as some newer value's slot.
constexpr size_t kFreeSlotsBeforeReuse = 64;
constexpr int kDescribeDepth = 3;

const char* KindName(host::ValueType kind) {
    switch (kind) {
        case host::kTypeVoid:
            return "void";
        case host::kTypeInteger:
            return "integer";
        case host::kTypeSymbol:
            return "symbol";
        case host::kTypeString:
            return "string";
        case host::kTypeFloat:
            return "float";
        case host::kTypePropertyList:
            return "property list";
        case host::kTypeScriptObject:
            return "script object";
        case host::kTypePluginObject:
            return "object";
    }
    return "unknown";
}

std::string WordsText(const host::HostValue& value) {
    char text[32];
    std::snprintf(text, sizeof text, "[%08X %08X]", static_cast<unsigned>(value.words[0]),
                  static_cast<unsigned>(value.words[1]));
    return text;
}

}  // namespace

ValueStore::ValueStore(Ledger& ledger, const SymbolTable& symbols) : ledger_(ledger), symbols_(symbols) {}

ValueStore::~ValueStore() = default;

ValueStore::Found ValueStore::Resolve(const host::HostValue& value, uint32_t* index) const {
    if (value.words[0] == 0 && value.words[1] == 0) return Found::kVoid;
    uint32_t kind = value.words[0] & kKindMask;
    uint32_t generation = value.words[0] >> kKindBits;
    uint32_t slot = value.words[1];
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

ValueSlot* ValueStore::Use(const host::HostValue& value, const char* entry, bool* isVoid) {
    if (isVoid) *isVoid = false;
    uint32_t index = 0;
    switch (Resolve(value, &index)) {
        case Found::kValue:
            return &slots_[index];
        case Found::kVoid:
            if (isVoid) *isVoid = true;
            return nullptr;
        case Found::kReleased:
            ledger_.Error(std::string(entry) + ": use of a released value " + WordsText(value));
            return nullptr;
        case Found::kForeign:
            ledger_.Error(std::string(entry) + ": " + WordsText(value) + " is not a value of this host");
            return nullptr;
    }
    return nullptr;
}

const ValueSlot* ValueStore::Peek(const host::HostValue& value) const {
    uint32_t index = 0;
    return Resolve(value, &index) == Found::kValue ? &slots_[index] : nullptr;
}

host::HostValue ValueStore::Add(ValueSlot contents) {
    uint32_t index;
    if (free_.size() > kFreeSlotsBeforeReuse) {
        index = free_.front();
        free_.pop_front();
    } else {
        index = static_cast<uint32_t>(slots_.size());
        slots_.emplace_back();
    }
    ValueSlot& slot = slots_[index];
    uint32_t generation = slot.generation;
    slot = std::move(contents);
    slot.generation = generation;
    slot.refs = 1;
    ++live_;
    host::HostValue value;
    value.words[0] = static_cast<uint32_t>(slot.kind) | (generation << kKindBits);
    value.words[1] = index;
    return value;
}

host::HostValue ValueStore::NewInteger(int32_t n) {
    ValueSlot slot;
    slot.kind = host::kTypeInteger;
    slot.integer = n;
    return Add(std::move(slot));
}

host::HostValue ValueStore::NewFloat(double number) {
    ValueSlot slot;
    slot.kind = host::kTypeFloat;
    slot.number = number;
    return Add(std::move(slot));
}

host::HostValue ValueStore::NewSymbol(host::HostSymbol symbol) {
    ValueSlot slot;
    slot.kind = host::kTypeSymbol;
    slot.symbol = symbol;
    return Add(std::move(slot));
}

host::HostValue ValueStore::NewString(const char* bytes, size_t length) {
    ValueSlot slot;
    slot.kind = host::kTypeString;
    slot.text = std::make_unique<std::string>(bytes, length);
    return Add(std::move(slot));
}

host::HostValue ValueStore::NewPropList() {
    ValueSlot slot;
    slot.kind = host::kTypePropertyList;
    return Add(std::move(slot));
}

host::HostValue ValueStore::NewScriptObject(std::shared_ptr<ScriptObject> script) {
    ValueSlot slot;
    slot.kind = host::kTypeScriptObject;
    slot.script = std::move(script);
    return Add(std::move(slot));
}

host::HostValue ValueStore::NewObject(host::Unknown* object) {
    object->AddRef();
    ValueSlot slot;
    slot.kind = host::kTypePluginObject;
    slot.object = object;
    return Add(std::move(slot));
}

host::Status ValueStore::AddRef(const host::HostValue& value, const char* entry) {
    bool isVoid = false;
    ValueSlot* slot = Use(value, entry, &isVoid);
    if (isVoid) return host::kOk;
    if (!slot) return kBadValue;
    ++slot->refs;
    return host::kOk;
}

host::Status ValueStore::Release(const host::HostValue& value, const char* entry) {
    bool isVoid = false;
    ValueSlot* slot = Use(value, entry, &isVoid);
    if (isVoid) return host::kOk;
    if (!slot) return kBadValue;
    if (--slot->refs == 0) Destroy(value.words[1]);
    return host::kOk;
}

void ValueStore::Destroy(uint32_t index) {
    // Take everything out and free the slot first: releasing what the value held calls
    // out (into a plug-in, a script object's destructor) and may come back here.
    ValueSlot& slot = slots_[index];
    std::vector<PropEntry> entries = std::move(slot.entries);
    std::shared_ptr<ScriptObject> script = std::move(slot.script);
    host::Unknown* object = slot.object;
    if (slot.locks > 0) {
        ledger_.Error("a string value was released while its text was locked: \"" + *slot.text + "\"");
        orphanedTexts_.push_back(std::move(slot.text));
    }
    uint32_t generation = (slot.generation + 1) & kGenerationMask;
    slot = ValueSlot();
    slot.generation = generation == 0 ? 1 : generation;
    free_.push_back(index);
    --live_;

    for (const PropEntry& entry : entries) {
        Release(entry.key, "a property list's key");
        Release(entry.item, "a property list's item");
    }
    script.reset();
    if (object) object->Release();
}

size_t ValueStore::lockedTexts() const {
    size_t locked = orphanedTexts_.size();
    for (const ValueSlot& slot : slots_) {
        if (slot.kind != host::kTypeVoid) locked += slot.locks;
    }
    return locked;
}

std::string ValueStore::DescribeSlot(const ValueSlot& slot, int depth) const {
    std::string text = KindName(slot.kind);
    switch (slot.kind) {
        case host::kTypeInteger:
            text += " " + std::to_string(slot.integer);
            break;
        case host::kTypeFloat:
            text += " " + std::to_string(slot.number);
            break;
        case host::kTypeSymbol:
            text += " #" + symbols_.Name(slot.symbol);
            break;
        case host::kTypeString:
            text += " \"" + *slot.text + "\"";
            break;
        case host::kTypePropertyList:
            text += " [";
            if (depth >= kDescribeDepth) {
                text += "...";
            } else {
                for (size_t i = 0; i < slot.entries.size(); ++i) {
                    const ValueSlot* key = Peek(slot.entries[i].key);
                    const ValueSlot* item = Peek(slot.entries[i].item);
                    if (i > 0) text += ", ";
                    text += key ? DescribeSlot(*key, depth + 1) : std::string("void");
                    text += ": ";
                    text += item ? DescribeSlot(*item, depth + 1) : std::string("void");
                }
            }
            text += "]";
            break;
        case host::kTypePluginObject: {
            char address[32];
            std::snprintf(address, sizeof address, " %p", static_cast<const void*>(slot.object));
            text += address;
            break;
        }
        default:
            break;
    }
    return text;
}

std::string ValueStore::Describe(const host::HostValue& value) const {
    uint32_t index = 0;
    switch (Resolve(value, &index)) {
        case Found::kValue:
            return DescribeSlot(slots_[index], 0);
        case Found::kVoid:
            return "void";
        case Found::kReleased:
            return "released value " + WordsText(value);
        case Found::kForeign:
            return "foreign value " + WordsText(value);
    }
    return "";
}

std::vector<std::string> ValueStore::DescribeLive() const {
    std::vector<std::string> lines;
    for (const ValueSlot& slot : slots_) {
        if (slot.kind == host::kTypeVoid) continue;
        std::string line = DescribeSlot(slot, 0) + " (" + std::to_string(slot.refs) + " reference" +
                           (slot.refs == 1 ? "" : "s");
        if (slot.locks > 0) line += ", text locked";
        lines.push_back(line + ")");
    }
    for (const std::unique_ptr<std::string>& text : orphanedTexts_) {
        lines.push_back("string \"" + *text + "\" released with its text still locked");
    }
    return lines;
}

size_t ValueStore::ReleaseAll() {
    size_t dropped = 0;
    // Objects first: their teardown releases the values they hold, properly.
    for (uint32_t index = 0; index < slots_.size(); ++index) {
        if (slots_[index].kind != host::kTypePluginObject) continue;
        slots_[index].refs = 1;
        Destroy(index);
        ++dropped;
    }
    // Lists are dropped whole below, so they must not release their entries again.
    for (ValueSlot& slot : slots_) slot.entries.clear();
    for (uint32_t index = 0; index < slots_.size(); ++index) {
        if (slots_[index].kind == host::kTypeVoid) continue;
        slots_[index].refs = 1;
        slots_[index].locks = 0;
        Destroy(index);
        ++dropped;
    }
    return dropped;
}

}  // namespace tide::emulator
