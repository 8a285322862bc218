// Member calls and property access on plug-in objects.
#include "emulator/script_calls.h"

#include <cstdio>
#include <string>
#include <vector>

#include "emulator/host.h"
#include "host/ids.h"

namespace tide::emulator {

host::IMoaMmXValue* ScriptCalls::ValueInterface(const host::HostValue& object) const {
    host::Unknown* unknown = host_.ObjectOf(object);
    // Plug-in object values hold the object's value interface itself.
    return unknown ? static_cast<host::IMoaMmXValue*>(unknown) : nullptr;
}

CallOutcome ScriptCalls::Call(const host::HostValue& object, std::string_view member,
                              std::initializer_list<host::HostValue> arguments) {
    return Call(object, member, arguments.begin(), static_cast<int32_t>(arguments.size()));
}

CallOutcome ScriptCalls::Call(const host::HostValue& object, std::string_view member,
                              const host::HostValue* arguments, int32_t count) {
    CallOutcome outcome;
    host::IMoaMmXValue* value = ValueInterface(object);
    if (!value) {
        outcome.status = host::kNoSuchMember;
        return outcome;
    }
    std::vector<host::HostValue> argv;
    argv.reserve(static_cast<size_t>(count) + 1);
    argv.push_back(object);
    argv.insert(argv.end(), arguments, arguments + count);
    host::HostCallRecord record{};
    record.selector = host_.Symbol(member);
    record.argc = static_cast<int32_t>(argv.size());
    record.argv = argv.data();
    outcome.status = value->CallMember(&record);
    outcome.result = record.result;
    return outcome;
}

CallOutcome ScriptCalls::Get(const host::HostValue& object, std::string_view property) {
    CallOutcome outcome;
    host::IMoaMmXValue* value = ValueInterface(object);
    if (!value) {
        outcome.status = host::kNoSuchProperty;
        return outcome;
    }
    outcome.status = value->ReadProperty(&object, host_.Symbol(property), 0, nullptr, &outcome.result);
    return outcome;
}

host::Status ScriptCalls::Set(const host::HostValue& object, std::string_view property,
                              const host::HostValue& newValue) {
    host::IMoaMmXValue* value = ValueInterface(object);
    if (!value) return host::kNoSuchProperty;
    return value->WriteProperty(host_.Symbol(property), 0, nullptr, &newValue);
}

std::string ScriptCalls::StringForm(const host::HostValue& object) {
    host::IMoaMmXValue* value = ValueInterface(object);
    if (!value) return {};
    host::HostValue text{};
    value->StringForm(&text);
    std::string form = host_.StringOf(text).value_or("");
    host_.Release(text);
    return form;
}

std::string StatusText(host::Status status) {
    const char* name = nullptr;
    switch (status) {
        case host::kOk:
            return "OK (0)";
        case host::kNoMemory:
            name = "NoMemory";
            break;
        case host::kStillInUse:
            name = "StillInUse";
            break;
        case host::kNoSuchInterface:
            name = "NoSuchInterface";
            break;
        case host::kNoSuchClass:
            name = "NoSuchClass";
            break;
        case host::kNoSuchProperty:
            name = "NoSuchProperty";
            break;
        case host::kNoSuchMember:
            name = "NoSuchMember";
            break;
        case host::kNotSupported:
            name = "NotSupported";
            break;
        default:
            name = "Error";
            break;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%s (0x%08X)", name, static_cast<uint32_t>(status));
    return text;
}

}  // namespace tide::emulator
