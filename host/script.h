// The interfaces a plug-in implements for the host: registration (IMoaRegister), the
// script class (IMoaMmXScript) and the script object's value interface (IMoaMmXValue),
// with the record of a member call. The host calls all of them on its own thread; none
// lets an exception out.
#pragma once

#include "host/component.h"
#include "host/registry.h"
#include "host/values.h"

namespace host {

// The record of one member call (and of the script-class call).
struct HostCallRecord {
    uint32_t reserved0;  // not used by the plug-ins
    uint32_t reserved1;  // not used by the plug-ins
    // The symbol of the member called; in the script-class call, the handler number
    // (0 is `new`).
    HostSymbol selector;
    // The member writes its result here; the host takes it after the call.
    HostValue result;
    // Number of values in argv, the object itself (argv[0]) included.
    int32_t argc;
    // The object itself, then the member's arguments.
    HostValue* argv;
};

// IMoaRegister (kIidMoaRegister): offered by each plug-in's registration class.
class IMoaRegister : public Unknown {
public:
    // Entry 3. Registers the plug-in's script class in `registry` under `dictionary`:
    // stores the message table under "msgTable". Returns the registry's or dictionary's
    // status unchanged.
    virtual Status TIDE_CALL PublishScriptClass(HostRegistry* registry, void* dictionary) = 0;

protected:
    ~IMoaRegister() = default;
};

// IMoaMmXScript (kIidMoaMmXScript): offered by each plug-in's script class.
class IMoaMmXScript : public Unknown {
public:
    // Entry 3. A handler of the message table. Selector 0 (`new`) writes the new script
    // object into record->result and consumes argv[0]; other selectors do nothing.
    // Always returns 0.
    virtual Status TIDE_CALL ScriptCall(HostCallRecord* record) = 0;

protected:
    ~IMoaMmXScript() = default;
};

// IMoaMmXValue (kIidMoaMmXValue): the script object as the host sees it. 21 entries;
// the stubs answer fixed codes and change nothing.
class IMoaMmXValue : public Unknown {
public:
    // Entry 3. Does nothing; 0. (On a GuidValueClass object: keeps the 16-byte id at `arg`.)
    virtual Status TIDE_CALL Entry3(const void* arg) = 0;
    // Entry 4. Writes 0 to `*out`; kNotSupported.
    virtual Status TIDE_CALL Entry4(uint32_t* out) = 0;
    // Entry 5. kNotSupported.
    virtual Status TIDE_CALL Entry5(uint32_t a, uint32_t b) = 0;
    // Entry 6. Writes 0 to `*out`; 0.
    virtual Status TIDE_CALL Entry6(uint32_t a, uint32_t* out) = 0;
    // Entry 7. Reads property `property` into `*result` (owned by the caller). 0, or
    // kNoSuchProperty with `*result` untouched.
    virtual Status TIDE_CALL ReadProperty(const HostValue* self, HostSymbol property, int32_t indexCount,
                                          const HostValue* indexValues, HostValue* result) = 0;
    // Entry 8. Writes property `property`. 0, kNoSuchProperty, or the status of the
    // handler a write is forwarded to. The caller keeps ownership of all values.
    virtual Status TIDE_CALL WriteProperty(HostSymbol property, int32_t indexCount,
                                           const HostValue* indexValues, const HostValue* newValue) = 0;
    // Entry 9. Exactly ReadProperty.
    virtual Status TIDE_CALL ReadPropertyAlias(const HostValue* self, HostSymbol property, int32_t indexCount,
                                               const HostValue* indexValues, HostValue* result) = 0;
    // Entry 10. kNotSupported.
    virtual Status TIDE_CALL Entry10(uint32_t a, uint32_t b) = 0;
    // Entry 11. Calls member "delete" with argv = [value]; its status.
    virtual Status TIDE_CALL CallDelete(const HostValue* value) = 0;
    // Entry 12. kNotSupported.
    virtual Status TIDE_CALL Entry12(uint32_t a) = 0;
    // Entry 13. Calls member "append" with argv = [void, value]; its status.
    virtual Status TIDE_CALL CallAppend(const HostValue* value) = 0;
    // Entry 14. Calls the member named by record->selector. 0 with the member's result in
    // record->result (owned by the caller), or kNoSuchMember with it untouched.
    virtual Status TIDE_CALL CallMember(HostCallRecord* record) = 0;
    // Entry 15. kNotSupported.
    virtual Status TIDE_CALL Entry15(uint32_t a, uint32_t b) = 0;
    // Entry 16. The object's string form, a new string value in `*out`; 0.
    virtual Status TIDE_CALL StringForm(HostValue* out) = 0;
    // Entry 17. The symbol of the object's class name in `*out`; 0.
    virtual Status TIDE_CALL SymbolForm(HostSymbol* out) = 0;
    // Entry 18. Writes 0 to `*out`; kNotSupported.
    virtual Status TIDE_CALL Entry18(uint32_t* out) = 0;
    // Entry 19. kNotSupported.
    virtual Status TIDE_CALL Entry19(uint32_t a) = 0;
    // Entry 20. kNotSupported.
    virtual Status TIDE_CALL Entry20(uint32_t a) = 0;

protected:
    ~IMoaMmXValue() = default;
};

}  // namespace host
