// Working a plug-in's script object as a script does: member calls through CallMember,
// property reads and writes through ReadProperty and WriteProperty, with names made into
// symbols by the host. Tests and tidehost use it. Host's thread only.
#pragma once

#include <initializer_list>
#include <string_view>

#include "host/script.h"

namespace tide::emulator {

class Host;

// A call's status and result; the result (void when the member wrote none) is the
// caller's to release.
struct CallOutcome {
    host::Status status = host::kOk;
    host::HostValue result{};
};

class ScriptCalls {
public:
    explicit ScriptCalls(Host& host) : host_(host) {}

    // The value interface behind a script object value (borrowed); null for other values.
    host::IMoaMmXValue* ValueInterface(const host::HostValue& object) const;

    // object.member(arguments...): argv[0] is the object, the arguments follow (borrowed:
    // the caller keeps and releases them).
    CallOutcome Call(const host::HostValue& object, std::string_view member,
                     std::initializer_list<host::HostValue> arguments = {});
    CallOutcome Call(const host::HostValue& object, std::string_view member, const host::HostValue* arguments,
                     int32_t count);
    // object.property
    CallOutcome Get(const host::HostValue& object, std::string_view property);
    // object.property = value (the value stays the caller's).
    host::Status Set(const host::HostValue& object, std::string_view property, const host::HostValue& value);
    // The object's string form, as text.
    std::string StringForm(const host::HostValue& object);

private:
    Host& host_;
};

// "NoSuchMember (0x800407DF)" and the like.
std::string StatusText(host::Status status);

}  // namespace tide::emulator
