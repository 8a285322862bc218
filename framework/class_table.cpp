// The class table, built once from the module's definition.
#include "framework/class_table.h"

#include "framework/new_object.h"
#include "framework/notification_client.h"
#include "framework/object_state.h"
#include "framework/plugin_definition.h"
#include "framework/registration.h"
#include "framework/value_interface.h"
#include "host/ids.h"
#include "host/instance.h"

namespace tide {

namespace {

struct InterfaceRow {
    host::InterfaceId iid;
    InterfaceCreateCallback create;
};

struct ClassRow {
    host::ClassId id;
    uint32_t instanceBytes;
    InterfaceRow interfaces[3];
    int interfaceCount;
};

host::Status TIDE_CALL CreateClass(void*) { return host::kOk; }
void TIDE_CALL DestroyClass(void*) {}

struct ClassTable {
    ClassRow rows[2];

    ClassTable() {
        const PluginDefinition& plugin = ThisPlugin();
        rows[0] = ClassRow{plugin.registrationClassId,
                           host::kInstanceHeaderBytes,
                           {{host::kIidMoaRegister, &CRegister_IMoaRegister::Create}},
                           1};
        rows[1] = ClassRow{plugin.scriptClassId,
                           host::kInstanceHeaderBytes + plugin.instanceVariableBytes,
                           {{host::kIidMoaMmXScript, &CScript_IMoaMmXScript::Create},
                            {host::kIidMoaMmXValue, &CScript_IMoaMmXValue::Create},
                            {host::kIidMoaNotificationClient, &CScript_IMoaNotificationClient::Create}},
                           plugin.notificationClient ? 3 : 2};
    }
};

const ClassTable& Table() {
    static const ClassTable table;
    return table;
}

}  // namespace

void WalkClassTable(const host::ClassId* filter, ClassVisitor onClass, InterfaceVisitor onInterface,
                    void* context) {
    for (const ClassRow& row : Table().rows) {
        if (filter && *filter != row.id) continue;
        if (onClass &&
            onClass(row.id, host::kModelWord, row.instanceBytes, &CreateClass, &DestroyClass, context))
            return;
        if (!onInterface) continue;
        for (int i = 0; i < row.interfaceCount; ++i) {
            const InterfaceRow& interface = row.interfaces[i];
            if (onInterface(row.id, host::kModelWord, interface.iid, host::kModelWord, interface.create,
                            context))
                return;
        }
    }
}

}  // namespace tide
