// Host values and the host services that make, read and pass them. All of them are
// called on the host's thread only. Whoever obtains a value releases it.
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
// only in ASCII letter case have equal symbols. 0 is no symbol.
using HostSymbol = uint32_t;

// Value type codes that GetValueType answers. The plug-ins test only for 1, 2 and 3.
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

// ValueServices (kIidValueServices). Entries not used by the plug-ins are placeholders
// that keep the used ones at their numbers.
class ValueServices : public Unknown {
public:
    // Entry 3. Interns the NUL-terminated 8-bit `name` into `*out` (ASCII case ignored).
    virtual Status TIDE_CALL MakeSymbol(const char* name, HostSymbol* out) = 0;
    // Entry 4. Unused.
    virtual Status TIDE_CALL Unused4() = 0;
    // Entry 5. Writes the type code of `value` to `*type`.
    virtual Status TIDE_CALL GetValueType(const HostValue* value, int32_t* type) = 0;
    // Entry 6. One more reference on `value`; the caller releases it with ReleaseValue.
    virtual Status TIDE_CALL AddRefValue(const HostValue* value) = 0;
    // Entry 7. Drops one reference the caller holds on `value`. The void value is accepted.
    virtual Status TIDE_CALL ReleaseValue(const HostValue* value) = 0;
    // Entry 8. The integer held by an integer value. On failure `*out` is left alone.
    virtual Status TIDE_CALL ReadInteger(const HostValue* value, int32_t* out) = 0;
    // Entry 9. The symbol of a symbol value, or the symbol of a string value's text.
    virtual Status TIDE_CALL ReadSymbol(const HostValue* value, HostSymbol* out) = 0;
    // Entry 10. Unused.
    virtual Status TIDE_CALL Unused10() = 0;
    // Entry 11. Bytes of a string value's text, without its terminator; -1 for a value
    // that is not a string.
    virtual Status TIDE_CALL GetStringLength(const HostValue* value, int32_t* length) = 0;
    // Entry 12. Unused.
    virtual Status TIDE_CALL Unused12() = 0;
    // Entry 13. Points `*text` at the NUL-terminated text of a string value. The pointer
    // stays valid until UnlockStringText on the same value.
    virtual Status TIDE_CALL LockStringText(const HostValue* value, const char** text) = 0;
    // Entry 14. Ends the use of the pointer LockStringText gave.
    virtual Status TIDE_CALL UnlockStringText(const HostValue* value) = 0;
    // Entries 15 and 16. Unused.
    virtual Status TIDE_CALL Unused15() = 0;
    virtual Status TIDE_CALL Unused16() = 0;
    // Entry 17. A new integer value, owned by the caller.
    virtual Status TIDE_CALL MakeIntegerValue(int32_t n, HostValue* out) = 0;
    // Entry 18. A new symbol value, owned by the caller.
    virtual Status TIDE_CALL MakeSymbolValue(HostSymbol symbol, HostValue* out) = 0;
    // Entry 19. Unused.
    virtual Status TIDE_CALL Unused19() = 0;
    // Entry 20. A new string value holding a copy of the NUL-terminated `text`.
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
    // Entry 8. A new, empty property list owned by the caller.
    virtual Status TIDE_CALL NewPropList(HostValue* out) = 0;
    // Entry 9. Appends key/item to the list. The list takes references of its own: the
    // caller releases its key and item afterwards.
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
    // Entry 5. Calls the script handler named `handler` on argv[0] with argv[1..argc-1].
    // The handler's return value goes to `*result` (owned by the caller afterwards). The
    // caller keeps ownership of argv.
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
    // Entry 4. A new host value standing for `object` (an IMoaMmXValue). The value holds a
    // reference of its own; the caller releases its reference to `object` as it likes.
    virtual Status TIDE_CALL ObjectToValue(Unknown* object, HostValue* out) = 0;

protected:
    ~ObjectValueServices() = default;
};

}  // namespace host
