// The emulated host's values: counted slots with generations.
#include "emulator/value_store.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <utility>

#include "emulator/script_object.h"
#include "emulator/status.h"

namespace tide::emulator {

namespace {

constexpr uint32_t kGenerationMask = 0x00FFFFFFu;
// Freed slots wait in line this long before reuse, so that a stale value keeps being
// recognised as released rather than as some newer value's slot.
constexpr size_t kFreeSlotsBeforeReuse = 64;
constexpr int kDescribeDepth = 3;
// Blocks kept for reuse: this many strings of at most this many bytes (most strings are
// short: names, a datagram's text), and this many lists' entries of at most this many; a
// larger one, or one more, goes back to the system.
constexpr size_t kSpareTexts = 16;
constexpr size_t kSpareTextBytes = 256;
constexpr size_t kSpareLists = 8;
constexpr size_t kSpareListEntries = 32;
// A released list's entries up to this many are copied to the stack to be released.
constexpr size_t kEntriesOnStack = 16;

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

ValueSlot* ValueStore::Unusable(const host::HostValue& value, Found found, const char* entry, bool* isVoid) {
    switch (found) {
        case Found::kValue:
            break;
        case Found::kVoid:
            if (isVoid) *isVoid = true;
            break;
        case Found::kReleased:
            ledger_.Error(std::string(entry) + ": use of a released value " + WordsText(value));
            break;
        case Found::kForeign:
            ledger_.Error(std::string(entry) + ": " + WordsText(value) + " is not a value of this host");
            break;
    }
    return nullptr;
}

uint32_t ValueStore::Take() {
    if (free_.size() > kFreeSlotsBeforeReuse) return free_.pop_front();
    slots_.emplace_back();
    return static_cast<uint32_t>(slots_.size() - 1);
}

void ValueStore::Untake(uint32_t index) { free_.push_front(index); }

void ValueStore::FreeSlots::Grow() {
    std::vector<uint32_t> larger(ring_.empty() ? 128 : ring_.size() * 2);
    for (size_t i = 0; i < count_; ++i) larger[i] = ring_[(head_ + i) & (ring_.size() - 1)];
    ring_.swap(larger);
    head_ = 0;
}

host::HostValue ValueStore::Commit(uint32_t index, host::ValueType kind) {
    ValueSlot& slot = slots_[index];
    slot.kind = kind;
    slot.refs = 1;
    ++live_;
    host::HostValue value;
    value.words[0] = static_cast<uint32_t>(kind) | (slot.generation << kKindBits);
    value.words[1] = index;
    return value;
}

host::HostValue ValueStore::NewInteger(int32_t n) {
    const uint32_t index = Take();
    slots_[index].integer = n;
    return Commit(index, host::kTypeInteger);
}

host::HostValue ValueStore::NewFloat(double number) {
    const uint32_t index = Take();
    slots_[index].number = number;
    return Commit(index, host::kTypeFloat);
}

host::HostValue ValueStore::NewSymbol(host::HostSymbol symbol) {
    const uint32_t index = Take();
    slots_[index].symbol = symbol;
    return Commit(index, host::kTypeSymbol);
}

host::HostValue ValueStore::NewString(const char* bytes, size_t length) {
    const uint32_t index = Take();
    std::unique_ptr<std::string>& text = slots_[index].text;
    try {
        if (!spareTexts_.empty()) {
            text = std::move(spareTexts_.back());
            spareTexts_.pop_back();
            text->assign(bytes, length);
        } else {
            text = std::make_unique<std::string>(bytes, length);
        }
    } catch (...) {
        text.reset();
        Untake(index);
        throw;
    }
    return Commit(index, host::kTypeString);
}

host::HostValue ValueStore::NewPropList() {
    const uint32_t index = Take();
    if (!spareLists_.empty()) {
        slots_[index].entries = std::move(spareLists_.back());
        spareLists_.pop_back();
    }
    return Commit(index, host::kTypePropertyList);
}

host::HostValue ValueStore::NewScriptObject(std::shared_ptr<ScriptObject> script) {
    const uint32_t index = Take();
    slots_[index].script = std::move(script);
    return Commit(index, host::kTypeScriptObject);
}

host::HostValue ValueStore::NewObject(host::Unknown* object) {
    object->AddRef();
    const uint32_t index = Take();
    slots_[index].object = object;
    return Commit(index, host::kTypePluginObject);
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
    if (--slot->refs != 0) return host::kOk;
    // Most values a delivery releases hold nothing to let go of: freed here, in line.
    const host::ValueType kind = slot->kind;
    if (kind == host::kTypeInteger || kind == host::kTypeSymbol || kind == host::kTypeFloat) {
        Free(*slot);
        free_.push_back(value.words[1]);
    } else {
        Destroy(value.words[1]);
    }
    return host::kOk;
}

void ValueStore::Destroy(uint32_t index) {
    // Take everything out and free the slot first: releasing what the value held calls
    // out (into a plug-in, a script object's destructor) and may come back here.
    ValueSlot& slot = slots_[index];
    switch (slot.kind) {
        case host::kTypeString:
            if (slot.locks > 0) {
                ledger_.Error("a string value was released while its text was locked: \"" + *slot.text +
                              "\"");
                orphanedTexts_.push_back(std::move(slot.text));
            } else if (spareTexts_.size() < kSpareTexts && slot.text->capacity() <= kSpareTextBytes) {
                spareTexts_.push_back(std::move(slot.text));
            }
            slot.text.reset();
            slot.locks = 0;
            break;
        case host::kTypePropertyList:
            DestroyList(index);
            return;
        case host::kTypeScriptObject: {
            std::shared_ptr<ScriptObject> script = std::move(slot.script);
            Free(slot);
            free_.push_back(index);
            return;  // `script` goes last
        }
        case host::kTypePluginObject: {
            host::Unknown* object = slot.object;
            slot.object = nullptr;
            Free(slot);
            free_.push_back(index);
            object->Release();
            return;
        }
        default:
            break;
    }
    Free(slot);
    free_.push_back(index);
}

void ValueStore::DestroyList(uint32_t index) {
    ValueSlot& slot = slots_[index];
    // A short list's entries are copied to the stack, so that their block can be kept
    // for the next list; a long one's go with their block.
    PropEntry shortList[kEntriesOnStack];
    std::vector<PropEntry> longList;
    const PropEntry* entries = shortList;
    const size_t count = slot.entries.size();
    if (count <= kEntriesOnStack) {
        std::copy(slot.entries.begin(), slot.entries.end(), shortList);
        if (spareLists_.size() < kSpareLists && slot.entries.capacity() <= kSpareListEntries) {
            slot.entries.clear();
            spareLists_.push_back(std::move(slot.entries));
        }
    } else {
        longList = std::move(slot.entries);
        entries = longList.data();
    }
    slot.entries = std::vector<PropEntry>();
    Free(slot);
    free_.push_back(index);
    for (size_t i = 0; i < count; ++i) {
        Release(entries[i].key, "a property list's key");
        Release(entries[i].item, "a property list's item");
    }
}

void ValueStore::Free(ValueSlot& slot) {
    const uint32_t generation = (slot.generation + 1) & kGenerationMask;
    slot.kind = host::kTypeVoid;
    slot.generation = generation == 0 ? 1 : generation;
    slot.refs = 0;
    slot.integer = 0;
    slot.number = 0;
    slot.symbol = 0;
    --live_;
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
        // A space and the number appended one after the other: GCC 12 at -O3 warns
        // (-Wrestrict, wrongly) on a " " + std::to_string(...) made first.
        case host::kTypeInteger:
            text += ' ';
            text += std::to_string(slot.integer);
            break;
        case host::kTypeFloat:
            text += ' ';
            text += std::to_string(slot.number);
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
