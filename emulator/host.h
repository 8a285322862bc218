// Host: the emulated host, a strict stand-in for the real one. It offers every host
// interface the plug-ins use through its callback, keeps books of every value, interface
// reference, object it made, notification client, locked text, memory block and published
// region, and records misuse (double releases, released values, unlocks without locks) as
// readable errors answered with a failure status. Tests and tidehost make one, hand its
// callback and memory to the plug-ins, and check alive() and errors() after each scenario.
// Made and used on one thread, the host's; it does not load modules itself.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/forwarded_interfaces.h"
#include "emulator/host_memory.h"
#include "emulator/ledger.h"
#include "emulator/registry.h"
#include "emulator/script_object.h"
#include "emulator/symbol_table.h"
#include "emulator/value_store.h"
#include "host/address_table.h"
#include "host/callback.h"
#include "host/notification.h"
#include "host/registry.h"
#include "host/values.h"

namespace tide::emulator {

class AddressTableObject;
class CallServicesObject;
class HostCallbackObject;
class ListServicesObject;
class NotificationServiceObject;
class ObjectValueServicesObject;
class ValueServicesObject;

// What is still alive; all zero after a clean scenario.
struct Alive {
    size_t values = 0;               // host values with references left
    size_t interfaceRefs = 0;        // references to host interfaces not released
    size_t hostObjects = 0;          // objects the host made (NewHostObject, recording objects)
    size_t notificationClients = 0;  // registrations not ended
    size_t lockedStrings = 0;        // LockStringText without its UnlockStringText
    size_t memoryBlocks = 0;         // HostMemory blocks not freed
    size_t publishedRegions = 0;     // address table regions not withdrawn

    bool none() const {
        return values == 0 && interfaceRefs == 0 && hostObjects == 0 && notificationClients == 0 &&
               lockedStrings == 0 && memoryBlocks == 0 && publishedRegions == 0;
    }
};

// What a GuidValueClass object holds.
struct GuidValueState {
    bool hasId = false;
    uint8_t id[16] = {};
    std::string idText;  // braced form, "" without an id
    std::optional<std::string> directorCode;
};

class Host {
public:
    Host();
    // Frees the host's own objects and memory. It does not call into objects that values
    // or registrations still hold (their code may be unloaded by then): call
    // ReleaseLeftovers first where that matters.
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // --- What plug-ins are given (borrowed: add a reference to keep one) ---
    host::HostCallback* callback();
    // HostMemory (header word 4, the argument of DllGetClassInfo), with its books.
    HostMemoryObject& memory() { return *memory_; }
    // The registry handed to PublishScriptClass, with what was registered.
    RegistryObject& registry() { return *registry_; }
    // The same services the callback hands out, without a query.
    host::ValueServices* valueServices();
    host::ListServices* listServices();
    host::CallServices* callServices();
    host::ObjectValueServices* objectValueServices();
    host::NotificationService* notificationService();
    host::AddressTable* addressTable();

    // --- Switches that make the host refuse ---
    // The callback answers queries for `iid` with nothing while set.
    void RefuseInterface(const host::InterfaceId& iid, bool refuse = true);
    void RefuseNewHostObject(bool refuse = true);
    void FailNextAllocations(size_t count);
    void FailAllAllocations(bool fail = true);
    // AddClassEntry answers `status` while it is not 0.
    void FailAddClassEntry(host::Status status);

    // --- Symbols ---
    host::HostSymbol Symbol(std::string_view name);
    // The spelling a symbol was first made with; "" for an unknown symbol.
    const std::string& SymbolName(host::HostSymbol symbol) const;
    // While on, keeps every name a plug-in passes to MakeSymbol, spelled exactly as it
    // passed it, in order: symbols ignore case, so only this shows a wrong spelling or
    // order of the names a dispatch compares. Switching it on clears what was kept.
    void RecordMadeSymbols(bool on = true);
    const std::vector<std::string>& madeSymbols() const { return madeSymbols_; }

    // --- Values: each made with one reference, which the caller releases ---
    host::HostValue MakeInteger(int32_t n);
    host::HostValue MakeFloat(double number);
    host::HostValue MakeString(std::string_view bytes);
    host::HostValue MakeSymbolValue(std::string_view name);
    host::HostValue MakePropList();
    // Appends to a list; the list takes references of its own. False (and an error) for
    // a released value or a list that is not one.
    bool AddProp(const host::HostValue& list, const host::HostValue& key, const host::HostValue& item);
    host::HostValue MakeScriptObject(std::shared_ptr<ScriptObject> script);
    // A value standing for `object`, with a reference of its own on it.
    host::HostValue MakeObjectValue(host::Unknown* object);
    // One reference more or less, with the same checks as the plug-ins get.
    bool AddRef(const host::HostValue& value);
    bool Release(const host::HostValue& value);

    // --- Reading values back (nothing is recorded for released values here) ---
    bool IsAlive(const host::HostValue& value) const;
    uint32_t RefCount(const host::HostValue& value) const;                      // 0 when not alive
    std::optional<host::ValueType> TypeOf(const host::HostValue& value) const;  // void included
    // The slot of a live value, to read all of it with one search; null for the void
    // value and for a released or foreign one. Good until the next value is made.
    const ValueSlot* Find(const host::HostValue& value) const { return values_.Peek(value); }
    std::optional<int32_t> IntegerOf(const host::HostValue& value) const;
    std::optional<double> FloatOf(const host::HostValue& value) const;
    std::optional<std::string> StringOf(const host::HostValue& value) const;
    std::optional<host::HostSymbol> SymbolOf(const host::HostValue& value) const;
    std::optional<std::string> SymbolNameOf(const host::HostValue& value) const;
    // The entries of a property list in order (borrowed values).
    std::optional<std::vector<PropEntry>> PropListOf(const host::HostValue& value) const;
    // The item under `key` (ASCII case ignored) of a property list; nullopt when absent.
    std::optional<host::HostValue> PropOf(const host::HostValue& list, std::string_view key) const;
    std::shared_ptr<ScriptObject> ScriptObjectOf(const host::HostValue& value) const;
    // The interface behind an object value (borrowed), to call the object's entries.
    host::Unknown* ObjectOf(const host::HostValue& value) const;
    // What a GuidValueClass object behind a value holds; nullopt for any other value.
    std::optional<GuidValueState> GuidValueOf(const host::HostValue& value) const;
    // "integer 5", "string \"abc\"", "property list [symbol #a: integer 1]", ...
    std::string Describe(const host::HostValue& value) const;

    // --- Notifications ---
    // Calls every client registered for the idle notification once; the number called.
    size_t Notify();

    // --- Records ---
    const std::vector<RegisteredClass>& registeredClasses() const;
    const ForwardLog& forwardedCalls() const { return forwardLog_; }
    void ClearForwardedCalls() { forwardLog_.clear(); }
    // A host object that answers HostInterfaceF itself, its calls recorded with
    // onHostObject set. One reference, which the caller releases.
    host::Unknown* MakeRecordingObject();

    // --- The books ---
    Alive alive() const;
    // Everything alive, one line each; "nothing alive" when clean.
    std::string AliveReport() const;
    std::vector<std::string> errors() const { return ledger_.errors(); }
    void ClearErrors() { ledger_.ClearErrors(); }
    const Counters& counters() const { return ledger_.counters(); }
    uint64_t QueriesFor(const host::InterfaceId& iid) const { return ledger_.QueriesFor(iid); }
    // Ends every notification registration and drops every value (objects' values
    // first), calling into the objects they hold; the number ended and dropped. For a
    // host program's orderly exit, before its modules are unloaded.
    size_t ReleaseLeftovers();

    // --- For the emulator's own parts and the module loader ---
    Ledger& ledger() { return ledger_; }
    // The value services tell the host of each name a plug-in makes a symbol of.
    void NoteMadeSymbol(const char* name) {
        if (recordingSymbols_) madeSymbols_.emplace_back(name);
    }
    ValueStore& values() { return values_; }
    SymbolTable& symbols() { return symbols_; }

private:
    Ledger ledger_;
    SymbolTable symbols_;
    ValueStore values_;
    ForwardLog forwardLog_;
    bool recordingSymbols_ = false;
    std::vector<std::string> madeSymbols_;
    std::unique_ptr<HostCallbackObject> callback_;
    std::unique_ptr<HostMemoryObject> memory_;
    std::unique_ptr<ValueServicesObject> valueServices_;
    std::unique_ptr<ListServicesObject> listServices_;
    std::unique_ptr<CallServicesObject> callServices_;
    std::unique_ptr<ObjectValueServicesObject> objectValueServices_;
    std::unique_ptr<NotificationServiceObject> notifications_;
    std::unique_ptr<AddressTableObject> addressTable_;
    std::unique_ptr<RegistryObject> registry_;
    std::unique_ptr<ForwardedA> forwardedA_;
    std::unique_ptr<ForwardedB> forwardedB_;
    std::unique_ptr<ForwardedC> forwardedC_;
    std::unique_ptr<ForwardedD> forwardedD_;
    std::unique_ptr<ForwardedE> forwardedE_;
    std::unique_ptr<ForwardedF> forwardedF_;
    std::unique_ptr<ForwardedG> forwardedG_;
};

}  // namespace tide::emulator
