// Notifications: the host calls every registered client repeatedly on its own thread
// until the client is unregistered. The receiver takes its datagrams off its queue there.
#pragma once

#include "host/component.h"

namespace host {

// IMoaNotificationClient (kIidMoaNotificationClient), implemented by the receiver.
class NotificationClient : public Unknown {
public:
    // Entry 3. One notification `notifyId`, with the host's data and the reference data
    // given at registration. Host's thread only. Returns 0.
    virtual Status TIDE_CALL HandleNotification(const InterfaceId* notifyId, void* notifyData,
                                                void* refData) = 0;

protected:
    ~NotificationClient() = default;
};

// The host's notification service (kIidNotificationService).
class NotificationService : public Unknown {
public:
    // Entry 3. Registers `client` for `notifyId`; the service holds a reference to the
    // client until Unregister. `refData` comes back with every notification.
    virtual Status TIDE_CALL Register(NotificationClient* client, const InterfaceId* notifyId, uint32_t flags,
                                      void* refData) = 0;
    // Entry 4. Ends a registration and drops the service's reference to the client.
    virtual Status TIDE_CALL Unregister(NotificationClient* client, const InterfaceId* notifyId,
                                        uint32_t flags) = 0;

protected:
    ~NotificationService() = default;
};

}  // namespace host
