// Registration, `new`, and notifications: the entries of the registration interface, the
// script-class interface and the notification client. Host's thread only.
#include "framework/boundary.h"
#include "framework/interfaces.h"
#include "framework/object_state.h"
#include "framework/plugin_definition.h"
#include "host/ids.h"
#include "host/registry.h"

namespace tide {

host::Status CRegister_IMoaRegister::PublishScriptClass(host::HostRegistry* registry, void* dictionary) {
    return Guard([&] {
        const PluginDefinition& plugin = ThisPlugin();
        host::EntryDictionary* entry = nullptr;
        host::Status status =
            registry->AddClassEntry(dictionary, &plugin.scriptClassId, &host::kIidMoaMmXScript, &entry);
        if (status != host::kOk) return status;
        if (!entry) return host::kNoSuchInterface;
        return entry->StoreItem(host::kItemTypeText, plugin.messageTable, 0, "msgTable");
    });
}

host::Status CScript_IMoaMmXScript::ScriptCall(host::HostCallRecord* record) {
    return Guard([&] {
        if (record->selector != 0) return host::kOk;  // only handler 0, `new`, exists

        host::Unknown* self = host::InstanceSelf(owner());
        void* value = nullptr;
        self->QueryInterface(&host::kIidMoaMmXValue, &value);

        host::HostCallback* callback = owner()->callback;
        void* raw = nullptr;
        callback->QueryInterface(&host::kIidObjectValueServices, &raw);
        if (auto* objects = static_cast<host::ObjectValueServices*>(raw)) {
            if (value) objects->ObjectToValue(static_cast<host::Unknown*>(value), &record->result);
            objects->Release();
        }

        // The host passes the instance itself for `me`; that value is ours to release.
        if (record->argc >= 1 && record->argv) {
            host::HostValue me = record->argv[0];
            raw = nullptr;
            callback->QueryInterface(&host::kIidValueServices, &raw);
            if (auto* values = static_cast<host::ValueServices*>(raw)) {
                values->ReleaseValue(&me);
                values->Release();
            }
        }

        if (value) static_cast<host::Unknown*>(value)->Release();
        return host::kOk;
    });
}

host::Status CScript_IMoaNotificationClient::HandleNotification(const host::InterfaceId*, void*, void*) {
    Guard([&] {
        const PluginDefinition& plugin = ThisPlugin();
        ScriptObject object(owner());
        if (plugin.handleNotification && object.state().utils) plugin.handleNotification(object);
        return host::kOk;
    });
    return host::kOk;
}

}  // namespace tide
