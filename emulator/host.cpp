// The emulated host: wiring of its services, the C++ conveniences and the books.
#include "emulator/host.h"

#include "emulator/address_table.h"
#include "emulator/callback_object.h"
#include "emulator/guid_value.h"
#include "emulator/host_memory.h"
#include "emulator/notifications.h"
#include "emulator/value_services.h"
#include "host/ids.h"

namespace tide::emulator {

Host::Host() : values_(ledger_, symbols_) {
    callback_ = std::make_unique<HostCallbackObject>(*this);
    host::Unknown* others = callback_.get();
    memory_ = std::make_unique<HostMemoryObject>(ledger_, others);
    valueServices_ = std::make_unique<ValueServicesObject>(*this, others);
    listServices_ = std::make_unique<ListServicesObject>(*this, others);
    callServices_ = std::make_unique<CallServicesObject>(*this, others);
    objectValueServices_ = std::make_unique<ObjectValueServicesObject>(*this, others);
    notifications_ = std::make_unique<NotificationServiceObject>(ledger_, others);
    addressTable_ = std::make_unique<AddressTableObject>(ledger_, others);
    registry_ = std::make_unique<RegistryObject>(ledger_);
    forwardedA_ = std::make_unique<ForwardedA>(ledger_, others, forwardLog_);
    forwardedB_ = std::make_unique<ForwardedB>(ledger_, others, forwardLog_);
    forwardedC_ = std::make_unique<ForwardedC>(ledger_, others, forwardLog_);
    forwardedD_ = std::make_unique<ForwardedD>(ledger_, others, forwardLog_);
    forwardedE_ = std::make_unique<ForwardedE>(ledger_, others, forwardLog_);
    forwardedF_ = std::make_unique<ForwardedF>(ledger_, others, forwardLog_);
    forwardedG_ = std::make_unique<ForwardedG>(ledger_, others, forwardLog_);

    callback_->Offer(host::kIidValueServices, valueServices_.get());
    callback_->Offer(host::kIidListServices, listServices_.get());
    callback_->Offer(host::kIidCallServices, callServices_.get());
    callback_->Offer(host::kIidObjectValueServices, objectValueServices_.get());
    callback_->Offer(host::kIidNotificationService, notifications_.get());
    callback_->Offer(host::kIidAddressTable, addressTable_.get());
    callback_->Offer(host::kIidHostMemory, memory_.get());
    callback_->Offer(host::kIidHostInterfaceA, forwardedA_.get());
    callback_->Offer(host::kIidHostInterfaceB, forwardedB_.get());
    callback_->Offer(host::kIidHostInterfaceC, forwardedC_.get());
    callback_->Offer(host::kIidHostInterfaceD, forwardedD_.get());
    callback_->Offer(host::kIidHostInterfaceE, forwardedE_.get());
    callback_->Offer(host::kIidHostInterfaceF, forwardedF_.get());
    callback_->Offer(host::kIidHostInterfaceG, forwardedG_.get());
}

Host::~Host() {
    // Values may hold our own objects; those go with the books, the rest is memory.
    ledger_.DestroyHostObjects();
}

host::HostCallback* Host::callback() { return callback_.get(); }
host::ValueServices* Host::valueServices() { return valueServices_.get(); }
host::ListServices* Host::listServices() { return listServices_.get(); }
host::CallServices* Host::callServices() { return callServices_.get(); }
host::ObjectValueServices* Host::objectValueServices() { return objectValueServices_.get(); }
host::NotificationService* Host::notificationService() { return notifications_.get(); }
host::AddressTable* Host::addressTable() { return addressTable_.get(); }

void Host::RefuseInterface(const host::InterfaceId& iid, bool refuse) { callback_->Refuse(iid, refuse); }
void Host::RefuseNewHostObject(bool refuse) { callback_->RefuseNewHostObject(refuse); }
void Host::FailNextAllocations(size_t count) { memory_->FailNextAllocations(count); }
void Host::FailAllAllocations(bool fail) { memory_->FailAllAllocations(fail); }
void Host::FailAddClassEntry(host::Status status) { registry_->FailAddClassEntry(status); }

host::HostSymbol Host::Symbol(std::string_view name) { return symbols_.Intern(name); }
const std::string& Host::SymbolName(host::HostSymbol symbol) const { return symbols_.Name(symbol); }

void Host::RecordMadeSymbols(bool on) {
    recordingSymbols_ = on;
    if (on) madeSymbols_.clear();
}

host::HostValue Host::MakeInteger(int32_t n) { return values_.NewInteger(n); }
host::HostValue Host::MakeFloat(double number) { return values_.NewFloat(number); }
host::HostValue Host::MakeString(std::string_view bytes) {
    return values_.NewString(bytes.data(), bytes.size());
}
host::HostValue Host::MakeSymbolValue(std::string_view name) { return values_.NewSymbol(Symbol(name)); }
host::HostValue Host::MakePropList() { return values_.NewPropList(); }

bool Host::AddProp(const host::HostValue& list, const host::HostValue& key, const host::HostValue& item) {
    host::HostValue target = list;
    return listServices_->AddProp(&target, &key, &item) == host::kOk;
}

host::HostValue Host::MakeScriptObject(std::shared_ptr<ScriptObject> script) {
    return values_.NewScriptObject(std::move(script));
}

host::HostValue Host::MakeObjectValue(host::Unknown* object) { return values_.NewObject(object); }

bool Host::AddRef(const host::HostValue& value) { return values_.AddRef(value, "Host::AddRef") == host::kOk; }
bool Host::Release(const host::HostValue& value) {
    return values_.Release(value, "Host::Release") == host::kOk;
}

bool Host::IsAlive(const host::HostValue& value) const { return values_.Peek(value) != nullptr; }

uint32_t Host::RefCount(const host::HostValue& value) const {
    const ValueSlot* slot = values_.Peek(value);
    return slot ? slot->refs : 0;
}

std::optional<host::ValueType> Host::TypeOf(const host::HostValue& value) const {
    if (value.words[0] == 0 && value.words[1] == 0) return host::kTypeVoid;
    const ValueSlot* slot = values_.Peek(value);
    if (!slot) return std::nullopt;
    return slot->kind;
}

std::optional<int32_t> Host::IntegerOf(const host::HostValue& value) const {
    const ValueSlot* slot = values_.Peek(value);
    if (!slot || slot->kind != host::kTypeInteger) return std::nullopt;
    return slot->integer;
}

std::optional<double> Host::FloatOf(const host::HostValue& value) const {
    const ValueSlot* slot = values_.Peek(value);
    if (!slot || slot->kind != host::kTypeFloat) return std::nullopt;
    return slot->number;
}

std::optional<std::string> Host::StringOf(const host::HostValue& value) const {
    const ValueSlot* slot = values_.Peek(value);
    if (!slot || slot->kind != host::kTypeString) return std::nullopt;
    return *slot->text;
}

std::optional<host::HostSymbol> Host::SymbolOf(const host::HostValue& value) const {
    const ValueSlot* slot = values_.Peek(value);
    if (!slot || slot->kind != host::kTypeSymbol) return std::nullopt;
    return slot->symbol;
}

std::optional<std::string> Host::SymbolNameOf(const host::HostValue& value) const {
    std::optional<host::HostSymbol> symbol = SymbolOf(value);
    if (!symbol) return std::nullopt;
    return SymbolName(*symbol);
}

std::optional<std::vector<PropEntry>> Host::PropListOf(const host::HostValue& value) const {
    const ValueSlot* slot = values_.Peek(value);
    if (!slot || slot->kind != host::kTypePropertyList) return std::nullopt;
    return slot->entries;
}

std::optional<host::HostValue> Host::PropOf(const host::HostValue& list, std::string_view key) const {
    std::optional<std::vector<PropEntry>> entries = PropListOf(list);
    if (!entries) return std::nullopt;
    for (const PropEntry& entry : *entries) {
        const ValueSlot* slot = values_.Peek(entry.key);
        if (slot && slot->kind == host::kTypeSymbol &&
            SymbolTable::SameName(symbols_.Name(slot->symbol), key)) {
            return entry.item;
        }
    }
    return std::nullopt;
}

std::shared_ptr<ScriptObject> Host::ScriptObjectOf(const host::HostValue& value) const {
    const ValueSlot* slot = values_.Peek(value);
    if (!slot || slot->kind != host::kTypeScriptObject) return nullptr;
    return slot->script;
}

host::Unknown* Host::ObjectOf(const host::HostValue& value) const {
    const ValueSlot* slot = values_.Peek(value);
    if (!slot || slot->kind != host::kTypePluginObject) return nullptr;
    return slot->object;
}

std::optional<GuidValueState> Host::GuidValueOf(const host::HostValue& value) const {
    host::Unknown* object = ObjectOf(value);
    // Only a pointer the books know as one of ours may be taken for a GuidValue object.
    const std::string* kind = object ? ledger_.HostObjectKind(object) : nullptr;
    if (!kind || *kind != GuidValueObject::kKind) return std::nullopt;
    const auto* guid = static_cast<const GuidValueObject*>(static_cast<host::IMoaMmXValue*>(object));
    GuidValueState state;
    state.hasId = guid->hasId();
    std::copy(guid->idBytes(), guid->idBytes() + 16, state.id);
    state.idText = guid->IdText();
    if (guid->hasDirectorCode()) state.directorCode = guid->directorCode();
    return state;
}

std::string Host::Describe(const host::HostValue& value) const { return values_.Describe(value); }

size_t Host::Notify() { return notifications_->Notify(); }

const std::vector<RegisteredClass>& Host::registeredClasses() const { return registry_->classes(); }

host::Unknown* Host::MakeRecordingObject() { return ForwardedF::MakeRecordingObject(ledger_, forwardLog_); }

Alive Host::alive() const {
    Alive alive;
    alive.values = values_.live();
    alive.interfaceRefs = ledger_.OutstandingRefs();
    alive.hostObjects = ledger_.liveHostObjects();
    alive.notificationClients = notifications_->clients();
    alive.lockedStrings = values_.lockedTexts();
    alive.memoryBlocks = memory_->liveBlocks();
    alive.publishedRegions = addressTable_->published();
    return alive;
}

std::string Host::AliveReport() const {
    std::vector<std::string> lines;
    for (const std::string& line : values_.DescribeLive()) lines.push_back("value: " + line);
    for (const std::string& line : ledger_.DescribeOutstandingRefs()) lines.push_back("interface " + line);
    for (const std::string& line : ledger_.DescribeHostObjects()) lines.push_back(line);
    for (const std::string& line : notifications_->DescribeLive()) lines.push_back(line);
    for (const std::string& line : memory_->DescribeLive()) lines.push_back(line);
    for (const std::string& line : addressTable_->DescribeLive()) lines.push_back(line);
    if (lines.empty()) return "nothing alive";
    std::string report;
    for (const std::string& line : lines) report += line + "\n";
    return report;
}

size_t Host::ReleaseLeftovers() {
    size_t ended = notifications_->UnregisterAll();
    return ended + values_.ReleaseAll();
}

}  // namespace tide::emulator
