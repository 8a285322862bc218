// Notifications: the host calls every registered client repeatedly on its own thread
// until the client is unregistered. The receiver takes its datagrams off its queue there,
// one per notification. Tidelisten registers when its object state is built and
// unregisters when it is torn down. Host's thread only.
#pragma once

#include "host/component.h"

namespace host {

// IMoaNotificationClient (kIidMoaNotificationClient), implemented by the receiver.
class NotificationClient : public Unknown {
public:
    // Entry 3. One notification `notifyId` (kNotifyIdle), with the host's `notifyData`
    // (null from the emulated host) and the `refData` given at registration (Tidelisten's
    // instance); the receiver uses none of them. Delivers at most one queued datagram, so
    // script handlers run inside it. Always returns 0.
    virtual Status TIDE_CALL HandleNotification(const InterfaceId* notifyId, void* notifyData,
                                                void* refData) = 0;

protected:
    ~NotificationClient() = default;
};

// The host's notification service (kIidNotificationService).
class NotificationService : public Unknown {
public:
    // Entry 3. Registers `client` for `notifyId`; `refData` comes back with every
    // notification. `flags` is the host's; the receiver passes 0. The service holds a
    // reference to the client until Unregister. A failure status registers nothing and
    // takes no reference: the emulated host refuses a null argument and a client already
    // registered for the same id.
    virtual Status TIDE_CALL Register(NotificationClient* client, const InterfaceId* notifyId, uint32_t flags,
                                      void* refData) = 0;
    // Entry 4. Ends the registration of `client` for `notifyId` (`flags` as for Register)
    // and drops the service's reference, which may destroy the client's object. No
    // notification reaches the client afterwards. The emulated host allows this from
    // inside the client's own notification too (a handler that lets go of its object). A
    // failure status (no such registration) changes nothing.
    virtual Status TIDE_CALL Unregister(NotificationClient* client, const InterfaceId* notifyId,
                                        uint32_t flags) = 0;

protected:
    ~NotificationService() = default;
};

}  // namespace host
