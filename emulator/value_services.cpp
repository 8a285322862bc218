// The value, list, call and object-value services of the emulated host.
#include "emulator/value_services.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "emulator/host.h"
#include "emulator/script_object.h"
#include "host/ids.h"

namespace tide::emulator {

// --- ValueServices ---

ValueServicesObject::ValueServicesObject(Host& host, host::Unknown* callback)
    : CountedInterface(host.ledger(), "ValueServices", &host::kIidValueServices, callback), host_(host) {}

host::Status ValueServicesObject::Unused4() { return NotProvided(4); }
host::Status ValueServicesObject::Unused10() { return NotProvided(10); }
host::Status ValueServicesObject::Unused12() { return NotProvided(12); }
host::Status ValueServicesObject::Unused15() { return NotProvided(15); }
host::Status ValueServicesObject::Unused16() { return NotProvided(16); }
host::Status ValueServicesObject::Unused19() { return NotProvided(19); }

host::Status ValueServicesObject::MakeSymbol(const char* name, host::HostSymbol* out) {
    if (!ledger_.OnHostThread("MakeSymbol")) return kWrongThread;
    if (!name || !out) {
        Misuse("MakeSymbol with a null name or out pointer");
        return kBadArgument;
    }
    host_.NoteMadeSymbol(name);
    *out = host_.symbols().Intern(name);
    return host::kOk;
}

host::Status ValueServicesObject::GetValueType(const host::HostValue* value, int32_t* type) {
    if (!ledger_.OnHostThread("GetValueType")) return kWrongThread;
    if (!value || !type) {
        Misuse("GetValueType with a null value or out pointer");
        return kBadArgument;
    }
    bool isVoid = false;
    const ValueSlot* slot = host_.values().Use(*value, "GetValueType", &isVoid);
    if (isVoid) {
        *type = host::kTypeVoid;
        return host::kOk;
    }
    if (!slot) return kBadValue;
    *type = slot->kind;
    return host::kOk;
}

host::Status ValueServicesObject::AddRefValue(const host::HostValue* value) {
    if (!ledger_.OnHostThread("AddRefValue")) return kWrongThread;
    if (!value) {
        Misuse("AddRefValue with a null value");
        return kBadArgument;
    }
    return host_.values().AddRef(*value, "AddRefValue");
}

host::Status ValueServicesObject::ReleaseValue(const host::HostValue* value) {
    if (!ledger_.OnHostThread("ReleaseValue")) return kWrongThread;
    if (!value) {
        Misuse("ReleaseValue with a null value");
        return kBadArgument;
    }
    return host_.values().Release(*value, "ReleaseValue");
}

host::Status ValueServicesObject::ReadInteger(const host::HostValue* value, int32_t* out) {
    if (!ledger_.OnHostThread("ReadInteger")) return kWrongThread;
    if (!value || !out) {
        Misuse("ReadInteger with a null value or out pointer");
        return kBadArgument;
    }
    bool isVoid = false;
    const ValueSlot* slot = host_.values().Use(*value, "ReadInteger", &isVoid);
    if (!slot) return isVoid ? kWrongKind : kBadValue;
    if (slot->kind != host::kTypeInteger) return kWrongKind;
    *out = slot->integer;
    return host::kOk;
}

host::Status ValueServicesObject::ReadSymbol(const host::HostValue* value, host::HostSymbol* out) {
    if (!ledger_.OnHostThread("ReadSymbol")) return kWrongThread;
    if (!value || !out) {
        Misuse("ReadSymbol with a null value or out pointer");
        return kBadArgument;
    }
    bool isVoid = false;
    const ValueSlot* slot = host_.values().Use(*value, "ReadSymbol", &isVoid);
    if (!slot) return isVoid ? kWrongKind : kBadValue;
    if (slot->kind == host::kTypeSymbol) {
        *out = slot->symbol;
        return host::kOk;
    }
    if (slot->kind == host::kTypeString) {
        // The symbol of the text, as far as a name goes: up to its first NUL.
        *out = host_.symbols().Intern(slot->text->c_str());
        return host::kOk;
    }
    return kWrongKind;
}

host::Status ValueServicesObject::GetStringLength(const host::HostValue* value, int32_t* length) {
    if (!ledger_.OnHostThread("GetStringLength")) return kWrongThread;
    if (!value || !length) {
        Misuse("GetStringLength with a null value or out pointer");
        return kBadArgument;
    }
    bool isVoid = false;
    const ValueSlot* slot = host_.values().Use(*value, "GetStringLength", &isVoid);
    // Callers test the length, not the status: anything but a string has length -1.
    if (!slot || slot->kind != host::kTypeString) {
        *length = -1;
        return slot || isVoid ? kWrongKind : kBadValue;
    }
    // A host length is 32-bit: a longer string (only a 64-bit host can make one) has
    // none, rather than a count that wrapped.
    if (slot->text->size() > static_cast<size_t>(INT32_MAX)) {
        *length = -1;
        return kWrongKind;
    }
    *length = static_cast<int32_t>(slot->text->size());
    return host::kOk;
}

host::Status ValueServicesObject::LockStringText(const host::HostValue* value, const char** text) {
    if (!ledger_.OnHostThread("LockStringText")) return kWrongThread;
    if (!value || !text) {
        Misuse("LockStringText with a null value or out pointer");
        return kBadArgument;
    }
    bool isVoid = false;
    ValueSlot* slot = host_.values().Use(*value, "LockStringText", &isVoid);
    if (!slot) return isVoid ? kWrongKind : kBadValue;
    if (slot->kind != host::kTypeString) return kWrongKind;
    ++slot->locks;
    *text = slot->text->c_str();
    return host::kOk;
}

host::Status ValueServicesObject::UnlockStringText(const host::HostValue* value) {
    if (!ledger_.OnHostThread("UnlockStringText")) return kWrongThread;
    if (!value) {
        Misuse("UnlockStringText with a null value");
        return kBadArgument;
    }
    bool isVoid = false;
    ValueSlot* slot = host_.values().Use(*value, "UnlockStringText", &isVoid);
    if (!slot && !isVoid) return kBadValue;
    if (!slot || slot->kind != host::kTypeString || slot->locks == 0) {
        ledger_.Error("UnlockStringText on " + host_.Describe(*value) + ", whose text is not locked");
        return kBadArgument;
    }
    --slot->locks;
    return host::kOk;
}

host::Status ValueServicesObject::MakeIntegerValue(int32_t n, host::HostValue* out) {
    if (!ledger_.OnHostThread("MakeIntegerValue")) return kWrongThread;
    if (!out) {
        Misuse("MakeIntegerValue with a null out pointer");
        return kBadArgument;
    }
    *out = host_.values().NewInteger(n);
    return host::kOk;
}

host::Status ValueServicesObject::MakeSymbolValue(host::HostSymbol symbol, host::HostValue* out) {
    if (!ledger_.OnHostThread("MakeSymbolValue")) return kWrongThread;
    if (!out || !host_.symbols().Known(symbol)) {
        Misuse("MakeSymbolValue with a null out pointer or the unknown symbol " + std::to_string(symbol));
        return kBadArgument;
    }
    *out = host_.values().NewSymbol(symbol);
    return host::kOk;
}

host::Status ValueServicesObject::MakeStringValue(const char* text, host::HostValue* out) {
    if (!ledger_.OnHostThread("MakeStringValue")) return kWrongThread;
    if (!text || !out) {
        Misuse("MakeStringValue with a null text or out pointer");
        return kBadArgument;
    }
    *out = host_.values().NewString(text, std::strlen(text));
    return host::kOk;
}

// --- ListServices ---

ListServicesObject::ListServicesObject(Host& host, host::Unknown* callback)
    : CountedInterface(host.ledger(), "ListServices", &host::kIidListServices, callback), host_(host) {}

host::Status ListServicesObject::Unused3() { return NotProvided(3); }
host::Status ListServicesObject::Unused4() { return NotProvided(4); }
host::Status ListServicesObject::Unused5() { return NotProvided(5); }
host::Status ListServicesObject::Unused6() { return NotProvided(6); }
host::Status ListServicesObject::Unused7() { return NotProvided(7); }

host::Status ListServicesObject::NewPropList(host::HostValue* out) {
    if (!ledger_.OnHostThread("NewPropList")) return kWrongThread;
    if (!out) {
        Misuse("NewPropList with a null out pointer");
        return kBadArgument;
    }
    *out = host_.values().NewPropList();
    return host::kOk;
}

host::Status ListServicesObject::AddProp(host::HostValue* list, const host::HostValue* key,
                                         const host::HostValue* item) {
    if (!ledger_.OnHostThread("AddProp")) return kWrongThread;
    if (!list || !key || !item) {
        Misuse("AddProp with a null list, key or item");
        return kBadArgument;
    }
    ValueStore& values = host_.values();
    bool keyVoid = false;
    bool itemVoid = false;
    bool listVoid = false;
    ValueSlot* listSlot = values.Use(*list, "AddProp (list)", &listVoid);
    ValueSlot* keySlot = values.Use(*key, "AddProp (key)", &keyVoid);
    ValueSlot* itemSlot = values.Use(*item, "AddProp (item)", &itemVoid);
    if ((!listSlot && !listVoid) || (!keySlot && !keyVoid) || (!itemSlot && !itemVoid)) return kBadValue;
    if (!listSlot || listSlot->kind != host::kTypePropertyList || !keySlot) return kWrongKind;
    // The list's own references: the caller releases its key and item right afterwards.
    // Nothing was made since the three were found, so their slots are still good.
    ValueStore::AddRef(*keySlot);
    if (itemSlot) ValueStore::AddRef(*itemSlot);
    listSlot->entries.push_back(PropEntry{*key, *item});
    return host::kOk;
}

// --- CallServices ---

CallServicesObject::CallServicesObject(Host& host, host::Unknown* callback)
    : CountedInterface(host.ledger(), "CallServices", &host::kIidCallServices, callback), host_(host) {}

host::Status CallServicesObject::Unused3() { return NotProvided(3); }
host::Status CallServicesObject::Unused4() { return NotProvided(4); }

host::Status CallServicesObject::InvokeHandler(host::HostSymbol handler, int32_t argc,
                                               const host::HostValue* argv, host::HostValue* result) {
    if (!ledger_.OnHostThread("InvokeHandler")) return kWrongThread;
    if (argc < 1 || !argv || !result) {
        Misuse("InvokeHandler without a target, or with a null argument array or result");
        ++ledger_.counters().failedHandlerCalls;
        return kBadArgument;
    }
    ValueStore& values = host_.values();
    bool argumentsGood = true;
    const ValueSlot* target = nullptr;
    for (int32_t i = 0; i < argc; ++i) {
        bool isVoid = false;
        const ValueSlot* slot = values.Use(argv[i], "InvokeHandler (argument)", &isVoid);
        if (!slot && !isVoid) argumentsGood = false;
        if (i == 0) target = slot;
    }
    if (!argumentsGood) target = nullptr;
    // A call to nobody, or to a handler the object lacks, fails without being an error:
    // delivery calls whatever handler and object it holds, set or not.
    if (!target || target->kind != host::kTypeScriptObject || !host_.symbols().Known(handler)) {
        ++ledger_.counters().failedHandlerCalls;
        return argumentsGood ? kWrongKind : kBadValue;
    }
    std::shared_ptr<ScriptObject> script = target->script;  // alive for the whole call
    ++ledger_.counters().handlerCalls;
    // The caller's result is written only when the handler ran: a failed call leaves it
    // as the caller set it, like every other failed entry.
    host::HostValue handlerResult{{0, 0}};
    host::Status status;
    try {
        status = script->Invoke(host_, handler, argc, argv, &handlerResult);
    } catch (...) {
        Misuse("the script object's handler #" + host_.SymbolName(handler) + " threw");
        status = kRefused;
    }
    if (status == host::kOk) {
        *result = handlerResult;
    } else {
        ++ledger_.counters().failedHandlerCalls;
        values.Release(handlerResult, "InvokeHandler (result of a failed handler)");
    }
    return status;
}

// --- ObjectValueServices ---

ObjectValueServicesObject::ObjectValueServicesObject(Host& host, host::Unknown* callback)
    : CountedInterface(host.ledger(), "ObjectValueServices", &host::kIidObjectValueServices, callback),
      host_(host) {}

host::Status ObjectValueServicesObject::Unused3() { return NotProvided(3); }

host::Status ObjectValueServicesObject::ObjectToValue(host::Unknown* object, host::HostValue* out) {
    if (!ledger_.OnHostThread("ObjectToValue")) return kWrongThread;
    if (!object || !out) {
        Misuse("ObjectToValue with a null object or out pointer");
        return kBadArgument;
    }
    *out = host_.values().NewObject(object);
    return host::kOk;
}

}  // namespace tide::emulator
