// The script object's value interface: construction and teardown of the object state,
// the stub entries, and the entries that lead into the members (dispatch.cpp).
// Host's thread only.
#include "framework/value_interface.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "framework/ace_lifetime.h"
#include "framework/boundary.h"
#include "framework/dispatch.h"
#include "framework/object_view.h"
#include "framework/plugin_definition.h"

namespace tide {

host::Status CScript_IMoaMmXValue::Construct() {
    return Guard([&] {
        const PluginDefinition& plugin = ThisPlugin();
        ObjectView object(owner());
        ObjectState& state = *new (&object.state()) ObjectState{};
        state.valueInterface = this;
        // Without its MoaUtils the object could not touch a single host value.
        state.utils = MoaUtils::Create();
        if (!state.utils) return host::kNoMemory;
        state.utils->Attach(owner()->callback, owner()->memory);
        std::strcpy(state.directorCode, kDefaultDirectorCode);
        InitAceForObject();
        state.worker = plugin.createWorker();
        if (plugin.construct) plugin.construct(object);
        return host::kOk;
    });
}

void CScript_IMoaMmXValue::Destruct() {
    Guard([&] {
        const PluginDefinition& plugin = ThisPlugin();
        ObjectView object(owner());
        ObjectState& state = object.state();
        if (!state.utils) return host::kOk;  // construction did not get that far
        if (plugin.teardownBeforeWorker) plugin.teardownBeforeWorker(object);
        if (state.worker) {
            plugin.destroyWorker(state.worker);
            state.worker = nullptr;
        }
        if (plugin.teardownAfterWorker) plugin.teardownAfterWorker(object);
        WithdrawPublishedAddresses(object);
        state.utils->Destroy();
        state.utils = nullptr;
        if (plugin.teardownAfterUtils) plugin.teardownAfterUtils(object);
        FiniAceForObject();
        return host::kOk;
    });
}

host::Status CScript_IMoaMmXValue::Entry3(const void*) { return host::kOk; }
host::Status CScript_IMoaMmXValue::Entry4(uint32_t* out) {
    *out = 0;
    return host::kNotSupported;
}
host::Status CScript_IMoaMmXValue::Entry5(uint32_t, uint32_t) { return host::kNotSupported; }
host::Status CScript_IMoaMmXValue::Entry6(uint32_t, uint32_t* out) {
    *out = 0;
    return host::kOk;
}
host::Status CScript_IMoaMmXValue::Entry10(uint32_t, uint32_t) { return host::kNotSupported; }
host::Status CScript_IMoaMmXValue::Entry12(uint32_t) { return host::kNotSupported; }
host::Status CScript_IMoaMmXValue::Entry15(uint32_t, uint32_t) { return host::kNotSupported; }
host::Status CScript_IMoaMmXValue::Entry18(uint32_t* out) {
    *out = 0;
    return host::kNotSupported;
}
host::Status CScript_IMoaMmXValue::Entry19(uint32_t) { return host::kNotSupported; }
host::Status CScript_IMoaMmXValue::Entry20(uint32_t) { return host::kNotSupported; }

host::Status CScript_IMoaMmXValue::ReadProperty(const host::HostValue* self, host::HostSymbol property,
                                                int32_t indexCount, const host::HostValue* indexValues,
                                                host::HostValue* result) {
    return Guard([&] {
        ObjectView object(owner());
        return ReadObjectProperty(object, self, property, indexCount, indexValues, result);
    });
}

host::Status CScript_IMoaMmXValue::ReadPropertyAlias(const host::HostValue* self, host::HostSymbol property,
                                                     int32_t indexCount, const host::HostValue* indexValues,
                                                     host::HostValue* result) {
    return ReadProperty(self, property, indexCount, indexValues, result);
}

host::Status CScript_IMoaMmXValue::WriteProperty(host::HostSymbol property, int32_t indexCount,
                                                 const host::HostValue* indexValues,
                                                 const host::HostValue* newValue) {
    return Guard([&] {
        ObjectView object(owner());
        return WriteObjectProperty(object, property, indexCount, indexValues, newValue);
    });
}

host::Status CScript_IMoaMmXValue::CallMember(host::HostCallRecord* record) {
    return Guard([&] {
        ObjectView object(owner());
        return CallObjectMember(object, record);
    });
}

host::Status CScript_IMoaMmXValue::CallDelete(const host::HostValue* value) {
    return Guard([&] {
        ObjectView object(owner());
        host::HostValue argv[1] = {*value};
        host::HostCallRecord record{};
        object.utils().MakeSymbol("delete", &record.selector);
        record.argc = 1;
        record.argv = argv;
        return CallObjectMember(object, &record);
    });
}

host::Status CScript_IMoaMmXValue::CallAppend(const host::HostValue* value) {
    return Guard([&] {
        ObjectView object(owner());
        host::HostValue argv[2] = {{{0, 0}}, *value};
        host::HostCallRecord record{};
        object.utils().MakeSymbol("append", &record.selector);
        record.argc = 2;
        record.argv = argv;
        return CallObjectMember(object, &record);
    });
}

host::Status CScript_IMoaMmXValue::StringForm(host::HostValue* out) {
    return Guard([&] {
        const PluginDefinition& plugin = ThisPlugin();
        ObjectView object(owner());
        uint32_t number = object.AddressForScript(static_cast<host::IMoaMmXValue*>(this), sizeof(*this),
                                                  &object.state().addresses.valueInterface);
        char text[64];
        std::snprintf(text, sizeof text, "< %s %d>", plugin.className, static_cast<int32_t>(number));
        object.utils().MakeStringValue(text, out);
        return host::kOk;
    });
}

host::Status CScript_IMoaMmXValue::SymbolForm(host::HostSymbol* out) {
    return Guard([&] {
        ObjectView object(owner());
        object.utils().MakeSymbol(ThisPlugin().className, out);
        return host::kOk;
    });
}

}  // namespace tide
