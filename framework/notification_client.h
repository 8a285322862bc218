// The notification client (Tidelisten): each notification gives the module one turn. Its
// creation callback goes into the class table. Host's thread only.
#pragma once

#include "framework/interface_object.h"
#include "host/notification.h"

namespace tide {

class CScript_IMoaNotificationClient
    : public InterfaceObject<CScript_IMoaNotificationClient, host::NotificationClient> {
public:
    using InterfaceObject::InterfaceObject;
    host::Status TIDE_CALL HandleNotification(const host::InterfaceId* notifyId, void* notifyData,
                                              void* refData) override;
};

}  // namespace tide
