// The interfaces a plug-in implements for the host: registration (IMoaRegister), the
// script class (IMoaMmXScript) and the script object's value interface (IMoaMmXValue),
// with the record of a member call. The host calls all of them on its own thread; calls
// nest where a script handler that a plug-in runs calls members in turn. None lets an
// exception out: a failed allocation inside an entry answers kNoMemory instead.
#pragma once

#include "host/component.h"
#include "host/registry.h"
#include "host/values.h"

namespace host {

// The record of one member call (and of the script-class call). The plug-ins' own records
// (entries 11 and 13, forwarded property writes) start all zero.
struct HostCallRecord {
    uint32_t reserved0;  // not used by the plug-ins
    uint32_t reserved1;  // not used by the plug-ins
    // The symbol of the member called; in the script-class call, the handler number
    // (0 is `new`).
    HostSymbol selector;
    // The member writes its result here, a value the caller owns and releases after the
    // call. A member that gives no result, and a failed call, leave it as it was: the
    // caller sets it to void first.
    HostValue result;
    // Number of values in argv, the object itself (argv[0]) included.
    int32_t argc;
    // argc values, the caller's: the object itself, then the member's arguments from
    // argv[1]. Members read them and release none (only `new` consumes argv[0]).
    HostValue* argv;
};

// IMoaRegister (kIidMoaRegister): offered by each plug-in's registration class.
class IMoaRegister : public Unknown {
public:
    // Entry 3. Registers the plug-in's script class in `registry` (borrowed for the call)
    // under `dictionary` (the host's, passed on as it came): one class entry for the
    // script class with IMoaMmXScript, whose dictionary gets the message table ("xtra
    // Tidelisten\nnew object me\n", or Tidespeak's) under "msgTable" as a text item of
    // size 0. Returns the registry's failure status unchanged, storing nothing; else the
    // dictionary's status (kNoSuchInterface when the registry answered 0 but gave no
    // dictionary).
    virtual Status TIDE_CALL PublishScriptClass(HostRegistry* registry, void* dictionary) = 0;

protected:
    ~IMoaRegister() = default;
};

// IMoaMmXScript (kIidMoaMmXScript): offered by each plug-in's script class.
class IMoaMmXScript : public Unknown {
public:
    // Entry 3. A handler of the message table, by its number in record->selector. 0
    // (`new`) queries the instance for its value interface, which builds the object state
    // the first time, and writes the value standing for it (ObjectToValue) into
    // record->result, owned by the caller; it consumes argv[0], the instance's value that
    // the host passes for `me`, releasing it. Other numbers do nothing and leave
    // record->result alone. Always returns 0, even when a host call inside failed.
    virtual Status TIDE_CALL ScriptCall(HostCallRecord* record) = 0;

protected:
    ~IMoaMmXScript() = default;
};

// IMoaMmXValue (kIidMoaMmXValue): the script object as the host sees it. 21 entries;
// the stubs answer fixed codes and change nothing. Names are matched by making their
// symbols afresh and comparing, first match wins: the common names, then the module's.
// The last release of this interface tears the object state down. A GuidValueClass object,
// the host's, has the same table; the plug-ins use only its entries 3 and 8 ("DirectorCode").
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
    // Entry 7. Reads property `property` into `*result`, a new value owned by the caller.
    // `self`, `indexCount` and `indexValues` are not used. 0, or kNoSuchProperty with
    // `*result` untouched for a property the object cannot read.
    virtual Status TIDE_CALL ReadProperty(const HostValue* self, HostSymbol property, int32_t indexCount,
                                          const HostValue* indexValues, HostValue* result) = 0;
    // Entry 8. Writes `newValue` to property `property`. "DirectorCode" is written here
    // (0; a value that is not a string, or a name too long to keep, changes nothing); the
    // module's own writable properties are forwarded to their handlers through CallMember
    // with argv = [void, the `indexCount` index values, the new value], whose status it
    // returns, and whose result it releases. An index count outside 0 to 2 on such a
    // write, or a property the object cannot write, gives kNoSuchProperty. The caller
    // keeps ownership of all values.
    virtual Status TIDE_CALL WriteProperty(HostSymbol property, int32_t indexCount,
                                           const HostValue* indexValues, const HostValue* newValue) = 0;
    // Entry 9. Exactly ReadProperty.
    virtual Status TIDE_CALL ReadPropertyAlias(const HostValue* self, HostSymbol property, int32_t indexCount,
                                               const HostValue* indexValues, HostValue* result) = 0;
    // Entry 10. kNotSupported.
    virtual Status TIDE_CALL Entry10(uint32_t a, uint32_t b) = 0;
    // Entry 11. Calls member "delete" with argv = [*value]; its status. Neither module has
    // that member: kNoSuchMember.
    virtual Status TIDE_CALL CallDelete(const HostValue* value) = 0;
    // Entry 12. kNotSupported.
    virtual Status TIDE_CALL Entry12(uint32_t a) = 0;
    // Entry 13. Calls member "append" with argv = [void, *value]; its status, kNoSuchMember
    // as for entry 11.
    virtual Status TIDE_CALL CallAppend(const HostValue* value) = 0;
    // Entry 14. Calls the member named by record->selector with the arguments from
    // record->argv[1]. 0 with the member's result, if it gives one, in record->result
    // (owned by the caller), or kNoSuchMember with it untouched. A member's own failure
    // is a value in the result, with status 0; only "GetAt" and "SetAt" pass on a
    // property entry's status (kNoSuchProperty).
    virtual Status TIDE_CALL CallMember(HostCallRecord* record) = 0;
    // Entry 15. kNotSupported.
    virtual Status TIDE_CALL Entry15(uint32_t a, uint32_t b) = 0;
    // Entry 16. The object's string form, "< Tidelisten n>" or "< Tidespeak n>" with n the
    // number standing for the value interface's address, as a new string value in `*out`
    // owned by the caller; 0.
    virtual Status TIDE_CALL StringForm(HostValue* out) = 0;
    // Entry 17. The symbol of the object's class name ("Tidelisten", "Tidespeak") in
    // `*out`; 0.
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
