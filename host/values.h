// Host values and the host services that make, read and pass them. All of them are
// called on the host's thread only. Whoever obtains a value releases it (ReleaseValue);
// a value passed to an entry by address stays the caller's unless the entry says
// otherwise. A failed entry writes no out parameter unless it says so: each keeps what
// the caller put there. The plug-ins query a service from the host callback for each
// operation and release it again.
#pragma once

#include "host/component.h"

namespace host {

// An opaque host value: two 32-bit words, copied by value, passed to the host by address.
// The all-zero value is the void value, which ReleaseValue accepts and ignores.
struct HostValue {
    uint32_t words[2];
};
static_assert(sizeof(HostValue) == 8, "a host value is two 32-bit words");

// A 32-bit handle of an interned name. Compared for equality only; names that differ
// only in ASCII letter case have equal symbols. 0 is no symbol: MakeSymbol never gives it.
using HostSymbol = uint32_t;

// Value type codes that GetValueType answers. The plug-ins test only for 1, 2 and 3, and
// take any other code for "not the kind expected"; the other codes are the emulated
// host's own.
enum ValueType : int32_t {
    kTypeVoid = 0,
    kTypeInteger = 1,
    kTypeSymbol = 2,
    kTypeString = 3,
    kTypeFloat = 4,
    kTypePropertyList = 5,
    kTypeScriptObject = 6,
    kTypePluginObject = 7,
};

// ValueServices (kIidValueServices).
class ValueServices : public Unknown {
public:
    // Entry 3. The symbol of the NUL-terminated 8-bit `name` in `*out` (ASCII case
    // ignored), made the first time the name is asked for.
    virtual Status TIDE_CALL MakeSymbol(const char* name, HostSymbol* out) = 0;
    // Entry 4. Unused.
    virtual Status TIDE_CALL Unused4() = 0;
    // Entry 5. Writes the type code of `value` to `*type`: kTypeVoid for the void value.
    // A failure status for a released or foreign value.
    virtual Status TIDE_CALL GetValueType(const HostValue* value, int32_t* type) = 0;
    // Entry 6. One more reference on `value`, so that a copy kept past the current call
    // stays good; the caller releases it with ReleaseValue. The void value is accepted and
    // ignored; a released value gives a failure status.
    virtual Status TIDE_CALL AddRefValue(const HostValue* value) = 0;
    // Entry 7. Drops one reference the caller holds on `value`; with the last one the value
    // is gone, and so are the references it held (a list's entries, an object). The void
    // value is accepted and ignored; a released value gives a failure status.
    virtual Status TIDE_CALL ReleaseValue(const HostValue* value) = 0;
    // Entry 8. The integer held by an integer value, in `*out`. A failure status for any
    // other kind, void included.
    virtual Status TIDE_CALL ReadInteger(const HostValue* value, int32_t* out) = 0;
    // Entry 9. The symbol of a symbol value, or the symbol of a string value's text (as
    // MakeSymbol would make it), in `*out`. A failure status for any other kind.
    virtual Status TIDE_CALL ReadSymbol(const HostValue* value, HostSymbol* out) = 0;
    // Entry 10. Unused.
    virtual Status TIDE_CALL Unused10() = 0;
    // Entry 11. The number of bytes of a string value's text, without its terminator, in
    // `*length`. For a value that is not a string, `*length` is -1 (callers then skip the
    // text) and the status a failure.
    virtual Status TIDE_CALL GetStringLength(const HostValue* value, int32_t* length) = 0;
    // Entry 12. Unused.
    virtual Status TIDE_CALL Unused12() = 0;
    // Entry 13. Points `*text` at the NUL-terminated text of a string value, owned by the
    // host: read it, never write or free it. It stays valid and terminated until
    // UnlockStringText on the same value, which every lock needs once, before the value is
    // released. A failure status for any other kind.
    virtual Status TIDE_CALL LockStringText(const HostValue* value, const char** text) = 0;
    // Entry 14. Ends the use of the pointer LockStringText gave for `value`. A failure
    // status (and an error in the emulated host's books) when its text is not locked.
    virtual Status TIDE_CALL UnlockStringText(const HostValue* value) = 0;
    // Entries 15 and 16. Unused.
    virtual Status TIDE_CALL Unused15() = 0;
    virtual Status TIDE_CALL Unused16() = 0;
    // Entry 17. A new integer value holding `n` in `*out`, owned by the caller. Statuses,
    // sizes and addresses reach scripts this way too.
    virtual Status TIDE_CALL MakeIntegerValue(int32_t n, HostValue* out) = 0;
    // Entry 18. A new symbol value holding `symbol` (one the host made) in `*out`, owned by
    // the caller.
    virtual Status TIDE_CALL MakeSymbolValue(HostSymbol symbol, HostValue* out) = 0;
    // Entry 19. Unused.
    virtual Status TIDE_CALL Unused19() = 0;
    // Entry 20. A new string value in `*out`, owned by the caller, holding a copy of the
    // NUL-terminated `text` (bytes in the host's character set): the caller's buffer may
    // go right afterwards.
    virtual Status TIDE_CALL MakeStringValue(const char* text, HostValue* out) = 0;

protected:
    ~ValueServices() = default;
};

// ListServices (kIidListServices).
class ListServices : public Unknown {
public:
    // Entries 3-7. Unused.
    virtual Status TIDE_CALL Unused3() = 0;
    virtual Status TIDE_CALL Unused4() = 0;
    virtual Status TIDE_CALL Unused5() = 0;
    virtual Status TIDE_CALL Unused6() = 0;
    virtual Status TIDE_CALL Unused7() = 0;
    // Entry 8. A new, empty property list in `*out`, owned by the caller.
    virtual Status TIDE_CALL NewPropList(HostValue* out) = 0;
    // Entry 9. Appends `key` and `item` as the last entry of the property list `list`. The
    // list takes references of its own: the caller releases its key and item afterwards,
    // and the list releases them when it goes. A failure status, and nothing appended,
    // when `list` is not a list or a value is released (the emulated host also refuses a
    // void key).
    virtual Status TIDE_CALL AddProp(HostValue* list, const HostValue* key, const HostValue* item) = 0;

protected:
    ~ListServices() = default;
};

// CallServices (kIidCallServices).
class CallServices : public Unknown {
public:
    // Entries 3, 4. Unused.
    virtual Status TIDE_CALL Unused3() = 0;
    virtual Status TIDE_CALL Unused4() = 0;
    // Entry 5. Calls the script handler named `handler` on the script object argv[0] with
    // the arguments argv[1..argc-1], and returns when the handler has run; the handler may
    // call into any plug-in object meanwhile, the caller's included. The caller keeps
    // ownership of argv. The handler's return value goes to `*result`, owned by the caller
    // afterwards. A failure status, with `*result` untouched and nothing reported, when
    // argv[0] is not a script object or has no such handler (symbol 0 included): delivery
    // calls whatever it holds, set or not.
    virtual Status TIDE_CALL InvokeHandler(HostSymbol handler, int32_t argc, const HostValue* argv,
                                           HostValue* result) = 0;

protected:
    ~CallServices() = default;
};

// ObjectValueServices (kIidObjectValueServices).
class ObjectValueServices : public Unknown {
public:
    // Entry 3. Unused.
    virtual Status TIDE_CALL Unused3() = 0;
    // Entry 4. A new host value in `*out`, owned by the caller, standing for `object` (the
    // IMoaMmXValue of a script object or of a GuidValueClass object). The value holds a
    // reference of its own on the object, dropped when the value goes; the caller releases
    // its own reference to `object` as it likes. What a script gets from `new` and "IID".
    virtual Status TIDE_CALL ObjectToValue(Unknown* object, HostValue* out) = 0;

protected:
    ~ObjectValueServices() = default;
};

}  // namespace host
