// MoaUtils: value operations and pass-throughs, each one query + one entry + one release.
#include "framework/moa_utils.h"

#include <new>

#include "host/ids.h"

namespace tide {

namespace {

template <class Interface>
void Hold(Interface*& member, Interface* next) {
    if (member) member->Release();
    member = next;
    if (member) member->AddRef();
}

}  // namespace

MoaUtils* MoaUtils::Create() { return new (std::nothrow) MoaUtils(); }

void MoaUtils::Attach(host::HostCallback* callback, host::HostMemory* allocator) {
    Hold(callback_, callback);
    Hold(allocator_, allocator);
}

void MoaUtils::Destroy() {
    Hold<host::HostMemory>(allocator_, nullptr);
    Hold<host::HostCallback>(callback_, nullptr);
    delete this;
}

template <class Interface, class Call>
host::Status MoaUtils::WithInterface(const host::InterfaceId& iid, Call call) {
    void* raw = nullptr;
    QueryHostInterface(&iid, &raw);
    auto* services = static_cast<Interface*>(raw);
    // The host is expected always to grant the services; without them there is nothing
    // to call, and the caller's out parameters stay as they were.
    host::Status status = services ? call(services) : host::kNoSuchInterface;
    if (services) services->Release();
    return status;
}

template <class Interface, class Call>
host::Status MoaUtils::ForwardOnObject(host::Unknown* object, const host::InterfaceId& iid, Call call) {
    if (!object) return host::kNoSuchInterface;
    void* raw = nullptr;
    object->QueryInterface(&iid, &raw);
    auto* target = static_cast<Interface*>(raw);
    host::Status status = target ? call(target) : host::kNoSuchInterface;
    if (target) target->Release();
    return status;
}

host::Status MoaUtils::QueryHostInterface(const host::InterfaceId* iid, void** out) {
    if (!callback_) {
        *out = nullptr;
        return host::kNoSuchInterface;
    }
    return callback_->QueryInterface(iid, out);
}

using VS = host::ValueServices;

host::Status MoaUtils::MakeSymbol(const char* name, host::HostSymbol* out) {
    return WithInterface<VS>(host::kIidValueServices, [&](VS* v) { return v->MakeSymbol(name, out); });
}
host::Status MoaUtils::GetValueType(const host::HostValue* value, int32_t* type) {
    return WithInterface<VS>(host::kIidValueServices, [&](VS* v) { return v->GetValueType(value, type); });
}
host::Status MoaUtils::AddRefValue(const host::HostValue* value) {
    return WithInterface<VS>(host::kIidValueServices, [&](VS* v) { return v->AddRefValue(value); });
}
host::Status MoaUtils::ReleaseValue(const host::HostValue* value) {
    return WithInterface<VS>(host::kIidValueServices, [&](VS* v) { return v->ReleaseValue(value); });
}
host::Status MoaUtils::ReadInteger(const host::HostValue* value, int32_t* out) {
    return WithInterface<VS>(host::kIidValueServices, [&](VS* v) { return v->ReadInteger(value, out); });
}
host::Status MoaUtils::ReadSymbol(const host::HostValue* value, host::HostSymbol* out) {
    return WithInterface<VS>(host::kIidValueServices, [&](VS* v) { return v->ReadSymbol(value, out); });
}
host::Status MoaUtils::GetStringLength(const host::HostValue* value, int32_t* length) {
    return WithInterface<VS>(host::kIidValueServices,
                             [&](VS* v) { return v->GetStringLength(value, length); });
}
host::Status MoaUtils::LockStringText(const host::HostValue* value, const char** text) {
    return WithInterface<VS>(host::kIidValueServices, [&](VS* v) { return v->LockStringText(value, text); });
}
host::Status MoaUtils::UnlockStringText(const host::HostValue* value) {
    return WithInterface<VS>(host::kIidValueServices, [&](VS* v) { return v->UnlockStringText(value); });
}
host::Status MoaUtils::MakeIntegerValue(int32_t n, host::HostValue* out) {
    return WithInterface<VS>(host::kIidValueServices, [&](VS* v) { return v->MakeIntegerValue(n, out); });
}
host::Status MoaUtils::MakeSymbolValue(host::HostSymbol symbol, host::HostValue* out) {
    return WithInterface<VS>(host::kIidValueServices, [&](VS* v) { return v->MakeSymbolValue(symbol, out); });
}
host::Status MoaUtils::MakeStringValue(const char* text, host::HostValue* out) {
    return WithInterface<VS>(host::kIidValueServices, [&](VS* v) { return v->MakeStringValue(text, out); });
}
host::Status MoaUtils::NewPropList(host::HostValue* out) {
    return WithInterface<host::ListServices>(host::kIidListServices,
                                             [&](host::ListServices* l) { return l->NewPropList(out); });
}
host::Status MoaUtils::AddProp(host::HostValue* list, const host::HostValue* key,
                               const host::HostValue* item) {
    return WithInterface<host::ListServices>(
        host::kIidListServices, [&](host::ListServices* l) { return l->AddProp(list, key, item); });
}
host::Status MoaUtils::InvokeHandler(host::HostSymbol handler, int32_t argc, const host::HostValue* argv,
                                     host::HostValue* result) {
    return WithInterface<host::CallServices>(host::kIidCallServices, [&](host::CallServices* c) {
        return c->InvokeHandler(handler, argc, argv, result);
    });
}

// Pass-throughs, in table order.

host::Status MoaUtils::ForwardA3(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceA>(host::kIidHostInterfaceA,
                                               [&](host::HostInterfaceA* i) { return i->Entry3(w0, w1); });
}

host::Status MoaUtils::ForwardA5(host::Word w0, host::Word w1, host::Word w2, host::Word w3, host::Word w4,
                                 host::Word w5) {
    return WithInterface<host::HostInterfaceA>(
        host::kIidHostInterfaceA, [&](host::HostInterfaceA* i) { return i->Entry5(w0, w1, w2, w3, w4, w5); });
}

host::Status MoaUtils::ForwardA6(host::Word w0) {
    return WithInterface<host::HostInterfaceA>(host::kIidHostInterfaceA,
                                               [&](host::HostInterfaceA* i) { return i->Entry6(w0); });
}

host::Status MoaUtils::ForwardA7(host::Word w0) {
    return WithInterface<host::HostInterfaceA>(host::kIidHostInterfaceA,
                                               [&](host::HostInterfaceA* i) { return i->Entry7(w0); });
}

host::Status MoaUtils::ForwardA8(host::Word w0, host::Word w1, host::Word w2) {
    return WithInterface<host::HostInterfaceA>(
        host::kIidHostInterfaceA, [&](host::HostInterfaceA* i) { return i->Entry8(w0, w1, w2); });
}

host::Status MoaUtils::ForwardA9(host::Word w0, host::Word w1, host::Word w2) {
    return WithInterface<host::HostInterfaceA>(
        host::kIidHostInterfaceA, [&](host::HostInterfaceA* i) { return i->Entry9(w0, w1, w2); });
}

host::Status MoaUtils::ForwardB3(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceB>(host::kIidHostInterfaceB,
                                               [&](host::HostInterfaceB* i) { return i->Entry3(w0, w1); });
}

host::Status MoaUtils::ForwardB4(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceB>(host::kIidHostInterfaceB,
                                               [&](host::HostInterfaceB* i) { return i->Entry4(w0, w1); });
}

host::Status MoaUtils::ForwardB5(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceB>(host::kIidHostInterfaceB,
                                               [&](host::HostInterfaceB* i) { return i->Entry5(w0, w1); });
}

host::Status MoaUtils::ForwardB6(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceB>(host::kIidHostInterfaceB,
                                               [&](host::HostInterfaceB* i) { return i->Entry6(w0, w1); });
}

host::Status MoaUtils::ForwardC4(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceC>(host::kIidHostInterfaceC,
                                               [&](host::HostInterfaceC* i) { return i->Entry4(w0, w1); });
}

host::Status MoaUtils::ForwardC5(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceC>(host::kIidHostInterfaceC,
                                               [&](host::HostInterfaceC* i) { return i->Entry5(w0, w1); });
}

host::Status MoaUtils::ForwardC6(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceC>(host::kIidHostInterfaceC,
                                               [&](host::HostInterfaceC* i) { return i->Entry6(w0, w1); });
}

host::Status MoaUtils::ForwardC7(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceC>(host::kIidHostInterfaceC,
                                               [&](host::HostInterfaceC* i) { return i->Entry7(w0, w1); });
}

host::Status MoaUtils::ForwardC8(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceC>(host::kIidHostInterfaceC,
                                               [&](host::HostInterfaceC* i) { return i->Entry8(w0, w1); });
}

host::Status MoaUtils::ForwardC9(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceC>(host::kIidHostInterfaceC,
                                               [&](host::HostInterfaceC* i) { return i->Entry9(w0, w1); });
}

host::Status MoaUtils::ForwardC10(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceC>(host::kIidHostInterfaceC,
                                               [&](host::HostInterfaceC* i) { return i->Entry10(w0, w1); });
}

host::Status MoaUtils::ForwardD3(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceD>(host::kIidHostInterfaceD,
                                               [&](host::HostInterfaceD* i) { return i->Entry3(w0, w1); });
}

host::Status MoaUtils::ForwardD4(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceD>(host::kIidHostInterfaceD,
                                               [&](host::HostInterfaceD* i) { return i->Entry4(w0, w1); });
}

host::Status MoaUtils::ForwardE3(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceE>(host::kIidHostInterfaceE,
                                               [&](host::HostInterfaceE* i) { return i->Entry3(w0, w1); });
}

host::Status MoaUtils::ForwardE4(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceE>(host::kIidHostInterfaceE,
                                               [&](host::HostInterfaceE* i) { return i->Entry4(w0, w1); });
}

host::Status MoaUtils::ForwardE5(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceE>(host::kIidHostInterfaceE,
                                               [&](host::HostInterfaceE* i) { return i->Entry5(w0, w1); });
}

host::Status MoaUtils::ForwardE6(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceE>(host::kIidHostInterfaceE,
                                               [&](host::HostInterfaceE* i) { return i->Entry6(w0, w1); });
}

host::Status MoaUtils::ForwardE7(host::Word w0) {
    return WithInterface<host::HostInterfaceE>(host::kIidHostInterfaceE,
                                               [&](host::HostInterfaceE* i) { return i->Entry7(w0); });
}

host::Status MoaUtils::ForwardE8(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceE>(host::kIidHostInterfaceE,
                                               [&](host::HostInterfaceE* i) { return i->Entry8(w0, w1); });
}

host::Status MoaUtils::ForwardE9(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceE>(host::kIidHostInterfaceE,
                                               [&](host::HostInterfaceE* i) { return i->Entry9(w0, w1); });
}

host::Status MoaUtils::ForwardE12(host::Word w0) {
    return WithInterface<host::HostInterfaceE>(host::kIidHostInterfaceE,
                                               [&](host::HostInterfaceE* i) { return i->Entry12(w0); });
}

host::Status MoaUtils::ForwardF3(host::Unknown* object, host::Word w0) {
    return ForwardOnObject<host::HostInterfaceF>(object, host::kIidHostInterfaceF,
                                                 [&](host::HostInterfaceF* i) { return i->Entry3(w0); });
}

host::Status MoaUtils::ForwardF4(host::Unknown* object, host::Word w0) {
    return ForwardOnObject<host::HostInterfaceF>(object, host::kIidHostInterfaceF,
                                                 [&](host::HostInterfaceF* i) { return i->Entry4(w0); });
}

host::Status MoaUtils::ForwardF5(host::Unknown* object, host::Word w0) {
    return ForwardOnObject<host::HostInterfaceF>(object, host::kIidHostInterfaceF,
                                                 [&](host::HostInterfaceF* i) { return i->Entry5(w0); });
}

host::Status MoaUtils::ForwardF6(host::Unknown* object, host::Word w0) {
    return ForwardOnObject<host::HostInterfaceF>(object, host::kIidHostInterfaceF,
                                                 [&](host::HostInterfaceF* i) { return i->Entry6(w0); });
}

host::Status MoaUtils::ForwardG3(host::Word w0, host::Word w1, host::Word w2, host::Word w3, host::Word w4) {
    return WithInterface<host::HostInterfaceG>(
        host::kIidHostInterfaceG, [&](host::HostInterfaceG* i) { return i->Entry3(w0, w1, w2, w3, w4); });
}

host::Status MoaUtils::ForwardG17(host::Word w0, host::Word w1, host::Word w2, host::Word w3, host::Word w4,
                                  host::Word w5) {
    return WithInterface<host::HostInterfaceG>(host::kIidHostInterfaceG, [&](host::HostInterfaceG* i) {
        return i->Entry17(w0, w1, w2, w3, w4, w5);
    });
}

host::Status MoaUtils::ForwardG15(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceG>(host::kIidHostInterfaceG,
                                               [&](host::HostInterfaceG* i) { return i->Entry15(w0, w1); });
}

host::Status MoaUtils::ForwardG14(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceG>(host::kIidHostInterfaceG,
                                               [&](host::HostInterfaceG* i) { return i->Entry14(w0, w1); });
}

host::Status MoaUtils::ForwardG4(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceG>(host::kIidHostInterfaceG,
                                               [&](host::HostInterfaceG* i) { return i->Entry4(w0, w1); });
}

host::Status MoaUtils::ForwardG5(host::Word w0, host::Word w1, host::Word w2) {
    return WithInterface<host::HostInterfaceG>(
        host::kIidHostInterfaceG, [&](host::HostInterfaceG* i) { return i->Entry5(w0, w1, w2); });
}

host::Status MoaUtils::ForwardG6(host::Word w0, host::Word w1, host::Word w2, host::Word w3) {
    return WithInterface<host::HostInterfaceG>(
        host::kIidHostInterfaceG, [&](host::HostInterfaceG* i) { return i->Entry6(w0, w1, w2, w3); });
}

host::Status MoaUtils::ForwardG7(host::Word w0, host::Word w1, host::Word w2, host::Word w3) {
    return WithInterface<host::HostInterfaceG>(
        host::kIidHostInterfaceG, [&](host::HostInterfaceG* i) { return i->Entry7(w0, w1, w2, w3); });
}

host::Status MoaUtils::ForwardG8(host::Word w0, host::Word w1, host::Word w2, host::Word w3) {
    return WithInterface<host::HostInterfaceG>(
        host::kIidHostInterfaceG, [&](host::HostInterfaceG* i) { return i->Entry8(w0, w1, w2, w3); });
}

host::Status MoaUtils::ForwardG9(host::Word w0, host::Word w1, host::Word w2, host::Word w3) {
    return WithInterface<host::HostInterfaceG>(
        host::kIidHostInterfaceG, [&](host::HostInterfaceG* i) { return i->Entry9(w0, w1, w2, w3); });
}

host::Status MoaUtils::ForwardG10(host::Word w0, host::Word w1, host::Word w2) {
    return WithInterface<host::HostInterfaceG>(
        host::kIidHostInterfaceG, [&](host::HostInterfaceG* i) { return i->Entry10(w0, w1, w2); });
}

host::Status MoaUtils::ForwardG11(host::Word w0, host::Word w1, host::Word w2) {
    return WithInterface<host::HostInterfaceG>(
        host::kIidHostInterfaceG, [&](host::HostInterfaceG* i) { return i->Entry11(w0, w1, w2); });
}

host::Status MoaUtils::ForwardG12(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceG>(host::kIidHostInterfaceG,
                                               [&](host::HostInterfaceG* i) { return i->Entry12(w0, w1); });
}

host::Status MoaUtils::ForwardG13(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceG>(host::kIidHostInterfaceG,
                                               [&](host::HostInterfaceG* i) { return i->Entry13(w0, w1); });
}

host::Status MoaUtils::ForwardG16(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceG>(host::kIidHostInterfaceG,
                                               [&](host::HostInterfaceG* i) { return i->Entry16(w0, w1); });
}

host::Status MoaUtils::ForwardG18(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceG>(host::kIidHostInterfaceG,
                                               [&](host::HostInterfaceG* i) { return i->Entry18(w0, w1); });
}

host::Status MoaUtils::ForwardG19(host::Word w0) {
    return WithInterface<host::HostInterfaceG>(host::kIidHostInterfaceG,
                                               [&](host::HostInterfaceG* i) { return i->Entry19(w0); });
}

host::Status MoaUtils::ForwardG23(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceG>(host::kIidHostInterfaceG,
                                               [&](host::HostInterfaceG* i) { return i->Entry23(w0, w1); });
}

host::Status MoaUtils::ForwardG24(host::Word w0, host::Word w1) {
    return WithInterface<host::HostInterfaceG>(host::kIidHostInterfaceG,
                                               [&](host::HostInterfaceG* i) { return i->Entry24(w0, w1); });
}

host::Status MoaUtils::ForwardG20(host::Word w0, host::Word w1, host::Word w2) {
    return WithInterface<host::HostInterfaceG>(
        host::kIidHostInterfaceG, [&](host::HostInterfaceG* i) { return i->Entry20(w0, w1, w2); });
}

host::Status MoaUtils::ForwardG21(host::Word w0, host::Word w1, host::Word w2) {
    return WithInterface<host::HostInterfaceG>(
        host::kIidHostInterfaceG, [&](host::HostInterfaceG* i) { return i->Entry21(w0, w1, w2); });
}

host::Status MoaUtils::ForwardG22(host::Word w0) {
    return WithInterface<host::HostInterfaceG>(host::kIidHostInterfaceG,
                                               [&](host::HostInterfaceG* i) { return i->Entry22(w0); });
}

}  // namespace tide
