// The notification client's one entry: each notification the host sends gives the module
// one turn (Tidelisten delivers one queued datagram). Host's thread only.
#include "framework/notification_client.h"

#include "framework/boundary.h"
#include "framework/object_view.h"
#include "framework/plugin_definition.h"

namespace tide {

host::Status CScript_IMoaNotificationClient::HandleNotification(const host::InterfaceId*, void*, void*) {
    Guard([&] {
        const PluginDefinition& plugin = ThisPlugin();
        ObjectView object(owner());
        if (plugin.handleNotification && object.state().utils) plugin.handleNotification(object);
        return host::kOk;
    });
    return host::kOk;
}

}  // namespace tide
