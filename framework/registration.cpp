// Registration: the registration interface's one entry, which stores the message table
// under the script class. Host's thread only.
#include "framework/registration.h"

#include "framework/boundary.h"
#include "framework/object_view.h"
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

}  // namespace tide
