// The script object's value interface: property reads and writes and member calls lead
// through it into dispatch.h; it builds and tears down the object state. Its creation
// callback goes into the class table. Host's thread only.
#pragma once

#include "framework/interface_object.h"
#include "host/script.h"

namespace tide {

class CScript_IMoaMmXValue : public InterfaceObject<CScript_IMoaMmXValue, host::IMoaMmXValue> {
public:
    using InterfaceObject::InterfaceObject;

    // Builds the object state (always 0) / tears it down, with this interface.
    host::Status Construct();
    void Destruct();

    host::Status TIDE_CALL Entry3(const void* arg) override;
    host::Status TIDE_CALL Entry4(uint32_t* out) override;
    host::Status TIDE_CALL Entry5(uint32_t a, uint32_t b) override;
    host::Status TIDE_CALL Entry6(uint32_t a, uint32_t* out) override;
    host::Status TIDE_CALL ReadProperty(const host::HostValue* self, host::HostSymbol property,
                                        int32_t indexCount, const host::HostValue* indexValues,
                                        host::HostValue* result) override;
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
    host::Status TIDE_CALL StringForm(host::HostValue* out) override;
    host::Status TIDE_CALL SymbolForm(host::HostSymbol* out) override;
    host::Status TIDE_CALL Entry18(uint32_t* out) override;
    host::Status TIDE_CALL Entry19(uint32_t a) override;
    host::Status TIDE_CALL Entry20(uint32_t a) override;
};

}  // namespace tide
