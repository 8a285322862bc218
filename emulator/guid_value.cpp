// GuidValueClass objects of the emulated host.
#include "emulator/guid_value.h"

#include <cstdio>
#include <cstring>

#include "emulator/host.h"
#include "host/ids.h"

namespace tide::emulator {

// A value object answers only its own interface.
GuidValueObject::GuidValueObject(Host& host)
    : CountedInterface(host.ledger(), kKind, &host::kIidMoaMmXValue, nullptr), host_(host) {}

GuidValueObject* GuidValueObject::Make(Host& host) {
    auto* object = new GuidValueObject(host);
    object->TakeInitialReference();
    host.ledger().AddHostObject(object, kKind, [object] { delete object; });
    ++host.ledger().counters().hostObjectsMade;
    return object;
}

void GuidValueObject::OnLastRelease() {
    ledger_.RemoveHostObject(this);
    delete this;
}

std::string GuidValueObject::IdText() const {
    if (!hasId_) return "";
    // The 16-byte form: a little-endian 32-bit field, two 16-bit fields, 8 bytes.
    char text[40];
    std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  id_[3], id_[2], id_[1], id_[0], id_[5], id_[4], id_[7], id_[6], id_[8], id_[9], id_[10],
                  id_[11], id_[12], id_[13], id_[14], id_[15]);
    return text;
}

host::Status GuidValueObject::Entry3(const void* arg) {
    if (!ledger_.OnHostThread("GuidValue entry 3")) return kWrongThread;
    if (!arg) {
        Misuse("entry 3 with a null id");
        return kBadArgument;
    }
    std::memcpy(id_, arg, sizeof id_);
    hasId_ = true;
    return host::kOk;
}

host::Status GuidValueObject::Entry4(uint32_t* out) {
    if (out) *out = 0;
    return host::kNotSupported;
}
host::Status GuidValueObject::Entry5(uint32_t, uint32_t) { return host::kNotSupported; }
host::Status GuidValueObject::Entry6(uint32_t, uint32_t* out) {
    if (out) *out = 0;
    return host::kOk;
}

host::Status GuidValueObject::ReadProperty(const host::HostValue*, host::HostSymbol property, int32_t,
                                           const host::HostValue*, host::HostValue* result) {
    if (!ledger_.OnHostThread("GuidValue ReadProperty")) return kWrongThread;
    if (!result) {
        Misuse("ReadProperty with a null result");
        return kBadArgument;
    }
    if (property == host_.Symbol("DirectorCode")) {
        *result = host_.MakeString(directorCode_);
        return host::kOk;
    }
    if (property == host_.Symbol("IID")) {
        *result = host_.MakeString(IdText());
        return host::kOk;
    }
    return host::kNoSuchProperty;
}

host::Status GuidValueObject::WriteProperty(host::HostSymbol property, int32_t, const host::HostValue*,
                                            const host::HostValue* newValue) {
    if (!ledger_.OnHostThread("GuidValue WriteProperty")) return kWrongThread;
    if (property != host_.Symbol("DirectorCode")) return host::kNoSuchProperty;
    if (!newValue) {
        Misuse("WriteProperty with a null value");
        return kBadArgument;
    }
    const ValueSlot* slot = host_.values().Use(*newValue, "GuidValue WriteProperty");
    if (!slot) return kBadValue;
    if (slot->kind != host::kTypeString) return kWrongKind;
    directorCode_ = *slot->text;
    hasDirectorCode_ = true;
    return host::kOk;
}

host::Status GuidValueObject::ReadPropertyAlias(const host::HostValue* self, host::HostSymbol property,
                                                int32_t indexCount, const host::HostValue* indexValues,
                                                host::HostValue* result) {
    return ReadProperty(self, property, indexCount, indexValues, result);
}

host::Status GuidValueObject::Entry10(uint32_t, uint32_t) { return host::kNotSupported; }
host::Status GuidValueObject::CallDelete(const host::HostValue*) { return host::kNoSuchMember; }
host::Status GuidValueObject::Entry12(uint32_t) { return host::kNotSupported; }
host::Status GuidValueObject::CallAppend(const host::HostValue*) { return host::kNoSuchMember; }
host::Status GuidValueObject::CallMember(host::HostCallRecord*) { return host::kNoSuchMember; }
host::Status GuidValueObject::Entry15(uint32_t, uint32_t) { return host::kNotSupported; }

host::Status GuidValueObject::StringForm(host::HostValue* out) {
    if (!ledger_.OnHostThread("GuidValue StringForm")) return kWrongThread;
    if (!out) {
        Misuse("StringForm with a null result");
        return kBadArgument;
    }
    *out = host_.MakeString(IdText());
    return host::kOk;
}

host::Status GuidValueObject::SymbolForm(host::HostSymbol* out) {
    if (!ledger_.OnHostThread("GuidValue SymbolForm")) return kWrongThread;
    if (!out) {
        Misuse("SymbolForm with a null result");
        return kBadArgument;
    }
    *out = host_.Symbol("GuidValue");
    return host::kOk;
}

host::Status GuidValueObject::Entry18(uint32_t* out) {
    if (out) *out = 0;
    return host::kNotSupported;
}
host::Status GuidValueObject::Entry19(uint32_t) { return host::kNotSupported; }
host::Status GuidValueObject::Entry20(uint32_t) { return host::kNotSupported; }

}  // namespace tide::emulator
