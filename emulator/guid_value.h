// GuidValueClass objects of the emulated host: the value class, made by NewHostObject,
// that holds a 128-bit id (entry 3) and a "DirectorCode" text (a property write). A
// value made of one with ObjectToValue is what a script gets for a plug-in's "IID".
// Lives by its references. Host's thread only.
#pragma once

#include <cstdint>
#include <string>

#include "emulator/counted_interface.h"
#include "host/script.h"

namespace tide::emulator {

class Host;

class GuidValueObject final : public CountedInterface<host::IMoaMmXValue> {
public:
    static constexpr const char* kKind = "GuidValue object";

    // A new object with one reference, for the caller of NewHostObject.
    static GuidValueObject* Make(Host& host);

    bool hasId() const { return hasId_; }
    const uint8_t* idBytes() const { return id_; }
    // The id in its braced text form; "" until entry 3 gave one.
    std::string IdText() const;
    bool hasDirectorCode() const { return hasDirectorCode_; }
    const std::string& directorCode() const { return directorCode_; }

    // Keeps the 16 bytes at `arg`.
    host::Status TIDE_CALL Entry3(const void* arg) override;
    host::Status TIDE_CALL Entry4(uint32_t* out) override;
    host::Status TIDE_CALL Entry5(uint32_t a, uint32_t b) override;
    host::Status TIDE_CALL Entry6(uint32_t a, uint32_t* out) override;
    // "DirectorCode" gives the kept text, "IID" the id's text; a string value each.
    host::Status TIDE_CALL ReadProperty(const host::HostValue* self, host::HostSymbol property,
                                        int32_t indexCount, const host::HostValue* indexValues,
                                        host::HostValue* result) override;
    // "DirectorCode" with a string value keeps a copy of its text.
    host::Status TIDE_CALL WriteProperty(host::HostSymbol property, int32_t indexCount,
                                         const host::HostValue* indexValues,
                                         const host::HostValue* newValue) override;
    host::Status TIDE_CALL ReadPropertyAlias(const host::HostValue* self, host::HostSymbol property,
                                             int32_t indexCount, const host::HostValue* indexValues,
                                             host::HostValue* result) override;
    host::Status TIDE_CALL Entry10(uint32_t a, uint32_t b) override;
    host::Status TIDE_CALL CallDelete(const host::HostValue* value) override;
    host::Status TIDE_CALL Entry12(uint32_t a) override;
    host::Status TIDE_CALL CallAppend(const host::HostValue* value) override;
    host::Status TIDE_CALL CallMember(host::HostCallRecord* record) override;
    host::Status TIDE_CALL Entry15(uint32_t a, uint32_t b) override;
    // The id's text.
    host::Status TIDE_CALL StringForm(host::HostValue* out) override;
    host::Status TIDE_CALL SymbolForm(host::HostSymbol* out) override;
    host::Status TIDE_CALL Entry18(uint32_t* out) override;
    host::Status TIDE_CALL Entry19(uint32_t a) override;
    host::Status TIDE_CALL Entry20(uint32_t a) override;

protected:
    void OnLastRelease() override;

private:
    explicit GuidValueObject(Host& host);

    Host& host_;
    bool hasId_ = false;
    uint8_t id_[16] = {};
    bool hasDirectorCode_ = false;
    std::string directorCode_;
};

}  // namespace tide::emulator
