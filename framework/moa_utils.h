// MoaUtils: a script object's one way to host values. Every value operation fetches
// its host interface from the held callback, calls exactly one host entry, releases the
// interface and returns the host's status unchanged; nothing is cached. Host's thread only.
#pragma once

#include "host/callback.h"
#include "host/component.h"
#include "host/forwarded.h"
#include "host/values.h"

namespace tide {

class MoaUtils final {
public:
    // A new instance with both members empty; null when memory is short.
    static MoaUtils* Create();
    // Stores the callback, then the allocator, each with a reference of its own (the
    // reference held before, if any, is released).
    void Attach(host::HostCallback* callback, host::HostMemory* allocator);
    // Releases the allocator, then the callback (whichever are held), and frees the object.
    void Destroy();

    host::HostCallback* callback() const { return callback_; }

    // Value operations: each is one query, one host entry, one release. Out parameters a
    // failing host entry did not write keep what the caller put there.
    host::Status MakeSymbol(const char* name, host::HostSymbol* out);
    host::Status GetValueType(const host::HostValue* value, int32_t* type);
    host::Status AddRefValue(const host::HostValue* value);
    host::Status ReleaseValue(const host::HostValue* value);
    host::Status ReadInteger(const host::HostValue* value, int32_t* out);
    host::Status ReadSymbol(const host::HostValue* value, host::HostSymbol* out);
    host::Status GetStringLength(const host::HostValue* value, int32_t* length);
    host::Status LockStringText(const host::HostValue* value, const char** text);
    host::Status UnlockStringText(const host::HostValue* value);
    host::Status MakeIntegerValue(int32_t n, host::HostValue* out);
    host::Status MakeSymbolValue(host::HostSymbol symbol, host::HostValue* out);
    host::Status MakeStringValue(const char* text, host::HostValue* out);
    host::Status NewPropList(host::HostValue* out);
    host::Status AddProp(host::HostValue* list, const host::HostValue* key, const host::HostValue* item);
    host::Status InvokeHandler(host::HostSymbol handler, int32_t argc, const host::HostValue* argv,
                               host::HostValue* result);

    // The overridable table. First: puts an interface query, unchanged, to the callback.
    virtual host::Status TIDE_CALL QueryHostInterface(const host::InterfaceId* iid, void** out);
    // Then 53 pass-throughs, named by interface letter and host entry, in table order.
    // Each forwards its words unchanged; the F ones query the object they are given and
    // pass on only their word.
    virtual host::Status TIDE_CALL ForwardA3(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardA5(host::Word w0, host::Word w1, host::Word w2, host::Word w3,
                                             host::Word w4, host::Word w5);
    virtual host::Status TIDE_CALL ForwardA6(host::Word w0);
    virtual host::Status TIDE_CALL ForwardA7(host::Word w0);
    virtual host::Status TIDE_CALL ForwardA8(host::Word w0, host::Word w1, host::Word w2);
    virtual host::Status TIDE_CALL ForwardA9(host::Word w0, host::Word w1, host::Word w2);
    virtual host::Status TIDE_CALL ForwardB3(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardB4(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardB5(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardB6(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardC4(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardC5(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardC6(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardC7(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardC8(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardC9(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardC10(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardD3(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardD4(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardE3(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardE4(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardE5(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardE6(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardE7(host::Word w0);
    virtual host::Status TIDE_CALL ForwardE8(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardE9(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardE12(host::Word w0);
    virtual host::Status TIDE_CALL ForwardF3(host::Unknown* object, host::Word w0);
    virtual host::Status TIDE_CALL ForwardF4(host::Unknown* object, host::Word w0);
    virtual host::Status TIDE_CALL ForwardF5(host::Unknown* object, host::Word w0);
    virtual host::Status TIDE_CALL ForwardF6(host::Unknown* object, host::Word w0);
    virtual host::Status TIDE_CALL ForwardG3(host::Word w0, host::Word w1, host::Word w2, host::Word w3,
                                             host::Word w4);
    virtual host::Status TIDE_CALL ForwardG17(host::Word w0, host::Word w1, host::Word w2, host::Word w3,
                                              host::Word w4, host::Word w5);
    virtual host::Status TIDE_CALL ForwardG15(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardG14(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardG4(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardG5(host::Word w0, host::Word w1, host::Word w2);
    virtual host::Status TIDE_CALL ForwardG6(host::Word w0, host::Word w1, host::Word w2, host::Word w3);
    virtual host::Status TIDE_CALL ForwardG7(host::Word w0, host::Word w1, host::Word w2, host::Word w3);
    virtual host::Status TIDE_CALL ForwardG8(host::Word w0, host::Word w1, host::Word w2, host::Word w3);
    virtual host::Status TIDE_CALL ForwardG9(host::Word w0, host::Word w1, host::Word w2, host::Word w3);
    virtual host::Status TIDE_CALL ForwardG10(host::Word w0, host::Word w1, host::Word w2);
    virtual host::Status TIDE_CALL ForwardG11(host::Word w0, host::Word w1, host::Word w2);
    virtual host::Status TIDE_CALL ForwardG12(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardG13(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardG16(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardG18(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardG19(host::Word w0);
    virtual host::Status TIDE_CALL ForwardG23(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardG24(host::Word w0, host::Word w1);
    virtual host::Status TIDE_CALL ForwardG20(host::Word w0, host::Word w1, host::Word w2);
    virtual host::Status TIDE_CALL ForwardG21(host::Word w0, host::Word w1, host::Word w2);
    virtual host::Status TIDE_CALL ForwardG22(host::Word w0);

private:
    MoaUtils() = default;
    ~MoaUtils() = default;

    template <class Interface, class Call>
    host::Status WithInterface(const host::InterfaceId& iid, Call call);
    template <class Interface, class Call>
    host::Status ForwardOnObject(host::Unknown* object, const host::InterfaceId& iid, Call call);

    host::HostCallback* callback_ = nullptr;
    host::HostMemory* allocator_ = nullptr;
};

}  // namespace tide
