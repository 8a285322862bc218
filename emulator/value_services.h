// The emulated host's value, list, call and object-value services, over its value
// store. Strict: a released or foreign value, a null pointer or an unlock without a lock
// is recorded as an error and answered with a failure status. Host's thread only.
#pragma once

#include "emulator/counted_interface.h"
#include "host/values.h"

namespace tide::emulator {

class Host;

class ValueServicesObject final : public CountedInterface<host::ValueServices> {
public:
    ValueServicesObject(Host& host, host::Unknown* callback);

    host::Status TIDE_CALL MakeSymbol(const char* name, host::HostSymbol* out) override;
    host::Status TIDE_CALL Unused4() override;
    host::Status TIDE_CALL GetValueType(const host::HostValue* value, int32_t* type) override;
    host::Status TIDE_CALL AddRefValue(const host::HostValue* value) override;
    host::Status TIDE_CALL ReleaseValue(const host::HostValue* value) override;
    host::Status TIDE_CALL ReadInteger(const host::HostValue* value, int32_t* out) override;
    host::Status TIDE_CALL ReadSymbol(const host::HostValue* value, host::HostSymbol* out) override;
    host::Status TIDE_CALL Unused10() override;
    host::Status TIDE_CALL GetStringLength(const host::HostValue* value, int32_t* length) override;
    host::Status TIDE_CALL Unused12() override;
    host::Status TIDE_CALL LockStringText(const host::HostValue* value, const char** text) override;
    host::Status TIDE_CALL UnlockStringText(const host::HostValue* value) override;
    host::Status TIDE_CALL Unused15() override;
    host::Status TIDE_CALL Unused16() override;
    host::Status TIDE_CALL MakeIntegerValue(int32_t n, host::HostValue* out) override;
    host::Status TIDE_CALL MakeSymbolValue(host::HostSymbol symbol, host::HostValue* out) override;
    host::Status TIDE_CALL Unused19() override;
    host::Status TIDE_CALL MakeStringValue(const char* text, host::HostValue* out) override;

private:
    Host& host_;
};

class ListServicesObject final : public CountedInterface<host::ListServices> {
public:
    ListServicesObject(Host& host, host::Unknown* callback);

    host::Status TIDE_CALL Unused3() override;
    host::Status TIDE_CALL Unused4() override;
    host::Status TIDE_CALL Unused5() override;
    host::Status TIDE_CALL Unused6() override;
    host::Status TIDE_CALL Unused7() override;
    host::Status TIDE_CALL NewPropList(host::HostValue* out) override;
    host::Status TIDE_CALL AddProp(host::HostValue* list, const host::HostValue* key,
                                   const host::HostValue* item) override;

private:
    Host& host_;
};

class CallServicesObject final : public CountedInterface<host::CallServices> {
public:
    CallServicesObject(Host& host, host::Unknown* callback);

    host::Status TIDE_CALL Unused3() override;
    host::Status TIDE_CALL Unused4() override;
    // Fails quietly (no error recorded) when argv[0] is not a script object or the
    // handler is unknown: delivery relies on a call to nobody doing nothing.
    host::Status TIDE_CALL InvokeHandler(host::HostSymbol handler, int32_t argc, const host::HostValue* argv,
                                         host::HostValue* result) override;

private:
    Host& host_;
};

class ObjectValueServicesObject final : public CountedInterface<host::ObjectValueServices> {
public:
    ObjectValueServicesObject(Host& host, host::Unknown* callback);

    host::Status TIDE_CALL Unused3() override;
    host::Status TIDE_CALL ObjectToValue(host::Unknown* object, host::HostValue* out) override;

private:
    Host& host_;
};

}  // namespace tide::emulator
